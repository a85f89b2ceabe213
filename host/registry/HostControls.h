#ifndef VELQORA_HOST_CONTROLS_H
#define VELQORA_HOST_CONTROLS_H

#include "platform/boundary/HostInterface.h"

#include <map>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

namespace host
{

// One control or sizer of a module's interface, as the host keeps it: data
// only, drawn by nobody. Sizes are physical pixels.
struct ControlElement
{
   struct SizerItem
   {
      int32_t kind; // HOST_SIZER_*
      ControlElement* element; // HOST_SIZER_ITEM only
      int amount; // stretch factor or spacing
   };

   int32_t kind = 0; // HOST_CONTROL_*
   int serial = 0; // creation order: how a user names the control
   std::u16string text;
   std::u16string toolTip;
   int minWidth = 0;
   int fixedWidth = -1;
   int fixedHeight = -1;
   int width = 0;
   int height = 0;
   double value = 0;
   double minimum = 0;
   double maximum = 0;
   int precision = -1;
   int alignment = 0;
   std::vector<std::u16string> items;
   int margin = 0;
   int spacing = 0;
   std::vector<SizerItem> sizerItems; // a sizer's contents
   ControlElement* sizer = nullptr; // a control's layout
   host_control_callbacks callbacks{};

   bool IsSizer() const noexcept
   {
      return kind == HOST_CONTROL_HORIZONTAL_SIZER || kind == HOST_CONTROL_VERTICAL_SIZER;
   }
};

// Every control and sizer the host keeps for modules, the font metric and the
// display pixel ratio they are measured with, and a user's changes to them.
class Controls
{
public:
   // Throws std::runtime_error for a kind the host does not make.
   ControlElement& Create( int32_t kind );
   void Destroy( ControlElement* element ) noexcept;
   // The element of a handle; throws std::runtime_error for one the host never gave.
   ControlElement& Element( host_control_handle handle ) const;
   // The element numbered `serial`; null if none.
   ControlElement* Find( int serial ) const noexcept;
   // Every control of a kind under `root`, in layout order.
   std::vector<ControlElement*> FindAll( const ControlElement& root, int32_t kind ) const;

   // Physical pixels per logical pixel, for every control.
   double DisplayPixelRatio() const noexcept { return m_ratio; }
   void SetDisplayPixelRatio( double ratio );
   // The font: every character is `charWidth` logical pixels wide, lines are
   // `lineHeight` logical pixels high.
   void SetFontMetric( double charWidth, double lineHeight );
   int TextWidth( const std::u16string& text ) const noexcept;

   void SetNumber( ControlElement& element, int32_t property, double value );
   double GetNumber( const ControlElement& element, int32_t property ) const;
   void SetText( ControlElement& element, int32_t property, std::u16string text );
   void AddToSizer( ControlElement& sizer, int32_t itemKind, ControlElement* item, int amount );
   void SetSizer( ControlElement& control, ControlElement& sizer );
   // The size that the contents ask for.
   void AdjustToContents( ControlElement& element );

   // A user's changes: each reaches the module's handler of the control. The
   // result is the handler's (0: handled without failure). A change the
   // control cannot take throws std::runtime_error.
   int TypeText( ControlElement& edit, const std::u16string& text );
   int MoveSlider( ControlElement& slider, int position );
   int SelectItem( ControlElement& comboBox, int index );
   int SetChecked( ControlElement& checkBox, bool checked );
   // Any of the above by the control's kind: text for an edit, a position for
   // a slider, an item index or text for a combo box, true/false or 1/0 for a
   // check box.
   int SetValueAsUser( ControlElement& element, const std::string& value );

   // The tree under `root` as plain text, one element per line, indented by
   // depth: "[serial] Kind" then its properties.
   std::string Print( const ControlElement& root ) const;

private:
   std::map<const ControlElement*, std::unique_ptr<ControlElement>> m_elements;
   int m_nextSerial = 1;
   double m_ratio = 1;
   double m_charWidth = 7;
   double m_lineHeight = 16;

   int Scaled( double logical ) const noexcept;
   struct Size
   {
      int width, height;
   };
   Size Preferred( const ControlElement& element ) const;
   int Notify( ControlElement& element, int32_t type, double value, const std::u16string& text = {} );
   void PrintElement( const ControlElement& element, int depth, const std::string& suffix, std::string& out ) const;
};

} // host

#endif
