#ifndef PCL_CONTROL_H
#define PCL_CONTROL_H

#include "platform/controls/Font.h"
#include "platform/controls/UIObject.h"
#include "platform/core/String.h"

namespace pcl
{

class Sizer;

// A control of the host's user interface. A control joins its parent when it
// is laid out in the parent's sizer. Sizes are physical pixels; the Scaled
// forms take logical pixels and convert them with the display pixel ratio.
class Control : public UIObject
{
public:
   // A plain control, which holds others through its sizer.
   Control();
   virtual ~Control();

   void SetToolTip( const String& text );

   void SetMinWidth( int width );
   void SetScaledMinWidth( int width ) { SetMinWidth( LogicalPixelsToPhysical( width ) ); }
   void SetFixedWidth( int width );
   void SetFixedHeight( int height );
   void SetFixedSize( int width, int height );
   // Fixes the control at its current size.
   void SetFixedSize() { SetFixedSize( Width(), Height() ); }
   int Width() const;
   int Height() const;
   void AdjustToContents();

   void SetSizer( Sizer& sizer );
   void SetWindowTitle( const String& title );

   pcl::Font Font() const { return pcl::Font( m_handle ); }

   // Sends this control's events to `receiver`, a control made of this one
   // and others (as a numeric edit of its field and slider).
   void SendEventsTo( Control& receiver );

protected:
   // A control of a given host kind.
   explicit Control( int32_t kind );

   // A control whose host object comes later (AttachHostWindow).
   struct Deferred
   {
   };
   explicit Control( Deferred ) noexcept {}
   // Takes a window the host made and keeps; it is not the control's to free.
   void AttachHostWindow( host_control_handle window );

   // A user changed this control or one that sends its events here.
   virtual void OnHostEvent( const host_control_event& /*event*/ ) {}

   void SetNumber( int32_t property, double value, const char* context );
   double GetNumber( int32_t property, const char* context ) const;
   void SetText( int32_t property, const String& text, const char* context );

private:
   bool m_owned = false;

   static int32_t DispatchEvent( void* data, const host_control_event* event ) noexcept;
};

} // pcl

#endif
