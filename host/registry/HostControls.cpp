#include "host/registry/HostControls.h"

#include "platform/core/Utf16.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <stdexcept>

namespace host
{

namespace
{

const char* KindName( int32_t kind ) noexcept
{
   switch ( kind )
   {
   case HOST_CONTROL_FRAME: return "Frame";
   case HOST_CONTROL_LABEL: return "Label";
   case HOST_CONTROL_EDIT: return "Edit";
   case HOST_CONTROL_SLIDER: return "Slider";
   case HOST_CONTROL_COMBO_BOX: return "ComboBox";
   case HOST_CONTROL_CHECK_BOX: return "CheckBox";
   case HOST_CONTROL_HORIZONTAL_SIZER: return "HorizontalSizer";
   case HOST_CONTROL_VERTICAL_SIZER: return "VerticalSizer";
   case HOST_CONTROL_WINDOW: return "Window";
   default: return "?";
   }
}

std::string Name( const ControlElement& e )
{
   std::string name = "[";
   name += std::to_string( e.serial );
   name += "] ";
   name += KindName( e.kind );
   return name;
}

[[noreturn]] void Refuse( const ControlElement& e, const std::string& what )
{
   throw std::runtime_error( what + ": " + Name( e ) );
}

std::string Number( double v )
{
   char buffer[32];
   std::snprintf( buffer, sizeof( buffer ), "%.15g", v );
   return buffer;
}

std::string Quoted( const std::u16string& text )
{
   std::string out = "\"";
   for ( char c : utf::ToUTF8( text ) )
   {
      if ( c == '"' || c == '\\' )
         out += '\\';
      if ( c == '\n' )
         out += "\\n";
      else
         out += c;
   }
   return out + "\"";
}

std::string Alignment( int bits )
{
   static const struct
   {
      int bit;
      const char* name;
   } names[] = { { HOST_ALIGN_LEFT, "left" },     { HOST_ALIGN_RIGHT, "right" },   { HOST_ALIGN_HORZ_CENTER, "hcenter" },
                 { HOST_ALIGN_TOP, "top" },       { HOST_ALIGN_BOTTOM, "bottom" }, { HOST_ALIGN_VERT_CENTER, "vcenter" } };
   std::string out;
   for ( const auto& n : names )
      if ( bits & n.bit )
      {
         if ( !out.empty() )
            out += '|';
         out += n.name;
      }
   return out;
}

bool Takes( const ControlElement& e, int32_t property )
{
   const int32_t k = e.kind;
   switch ( property )
   {
   case HOST_PROPERTY_TEXT:
      return k == HOST_CONTROL_LABEL || k == HOST_CONTROL_EDIT || k == HOST_CONTROL_CHECK_BOX || k == HOST_CONTROL_WINDOW;
   case HOST_PROPERTY_TOOL_TIP:
   case HOST_PROPERTY_MIN_WIDTH:
   case HOST_PROPERTY_FIXED_WIDTH:
   case HOST_PROPERTY_FIXED_HEIGHT:
   case HOST_PROPERTY_WIDTH:
   case HOST_PROPERTY_HEIGHT:
      return !e.IsSizer();
   case HOST_PROPERTY_VALUE:
      return k == HOST_CONTROL_SLIDER || k == HOST_CONTROL_COMBO_BOX || k == HOST_CONTROL_CHECK_BOX;
   case HOST_PROPERTY_MINIMUM:
   case HOST_PROPERTY_MAXIMUM:
      return k == HOST_CONTROL_SLIDER || k == HOST_CONTROL_EDIT;
   case HOST_PROPERTY_PRECISION:
      return k == HOST_CONTROL_EDIT;
   case HOST_PROPERTY_TEXT_ALIGNMENT:
      return k == HOST_CONTROL_LABEL;
   case HOST_PROPERTY_MARGIN:
   case HOST_PROPERTY_SPACING:
      return e.IsSizer();
   case HOST_PROPERTY_DISPLAY_PIXEL_RATIO:
      return true;
   default:
      return false;
   }
}

} // namespace

ControlElement& Controls::Create( int32_t kind )
{
   if ( kind < HOST_CONTROL_FRAME || kind > HOST_CONTROL_WINDOW )
      throw std::runtime_error( "Unknown kind of control: " + std::to_string( kind ) );
   auto element = std::make_unique<ControlElement>();
   element->kind = kind;
   element->serial = m_nextSerial++;
   if ( kind == HOST_CONTROL_SLIDER )
      element->maximum = 100;
   if ( kind == HOST_CONTROL_COMBO_BOX )
      element->value = -1;
   ControlElement& e = *element;
   m_elements.emplace( &e, std::move( element ) );
   return e;
}

void Controls::Destroy( ControlElement* element ) noexcept
{
   auto i = m_elements.find( element );
   if ( i == m_elements.end() )
      return;
   for ( auto& [key, other] : m_elements )
   {
      std::erase_if( other->sizerItems, [&]( const auto& item ) { return item.element == element; } );
      if ( other->sizer == element )
         other->sizer = nullptr;
   }
   m_elements.erase( i );
}

ControlElement& Controls::Element( host_control_handle handle ) const
{
   auto i = m_elements.find( static_cast<const ControlElement*>( handle ) );
   if ( i == m_elements.end() )
      throw std::runtime_error( "Invalid control" );
   return *i->second;
}

ControlElement* Controls::Find( int serial ) const noexcept
{
   for ( const auto& [key, e] : m_elements )
      if ( e->serial == serial )
         return e.get();
   return nullptr;
}

std::vector<ControlElement*> Controls::FindAll( const ControlElement& root, int32_t kind ) const
{
   std::vector<ControlElement*> found;
   auto visit = [&]( auto&& self, const ControlElement& e ) -> void {
      if ( e.kind == kind )
         found.push_back( const_cast<ControlElement*>( &e ) );
      if ( e.sizer != nullptr )
         self( self, *e.sizer );
      for ( const auto& item : e.sizerItems )
         if ( item.element != nullptr )
            self( self, *item.element );
   };
   visit( visit, root );
   return found;
}

void Controls::SetDisplayPixelRatio( double ratio )
{
   if ( !( ratio > 0 ) )
      throw std::runtime_error( "The display pixel ratio must be positive" );
   m_ratio = ratio;
}

void Controls::SetFontMetric( double charWidth, double lineHeight )
{
   if ( !( charWidth > 0 ) || !( lineHeight > 0 ) )
      throw std::runtime_error( "Font metrics must be positive" );
   m_charWidth = charWidth;
   m_lineHeight = lineHeight;
}

int Controls::Scaled( double logical ) const noexcept
{
   return int( std::lround( logical * m_ratio ) );
}

int Controls::TextWidth( const std::u16string& text ) const noexcept
{
   return Scaled( m_charWidth * double( text.size() ) );
}

void Controls::SetNumber( ControlElement& e, int32_t property, double value )
{
   if ( !Takes( e, property ) )
      Refuse( e, "Property " + std::to_string( property ) + " not supported" );
   if ( !std::isfinite( value ) )
      Refuse( e, "Not a finite value" );
   const int whole = int( std::lround( value ) );
   switch ( property )
   {
   case HOST_PROPERTY_MIN_WIDTH: e.minWidth = std::max( whole, 0 ); break;
   case HOST_PROPERTY_FIXED_WIDTH: e.fixedWidth = e.width = std::max( whole, 0 ); break;
   case HOST_PROPERTY_FIXED_HEIGHT: e.fixedHeight = e.height = std::max( whole, 0 ); break;
   case HOST_PROPERTY_MINIMUM:
      e.minimum = e.kind == HOST_CONTROL_SLIDER ? whole : value;
      e.value = std::max( e.value, e.minimum );
      break;
   case HOST_PROPERTY_MAXIMUM:
      e.maximum = e.kind == HOST_CONTROL_SLIDER ? whole : value;
      e.value = std::min( e.value, e.maximum );
      break;
   case HOST_PROPERTY_PRECISION: e.precision = whole; break;
   case HOST_PROPERTY_TEXT_ALIGNMENT: e.alignment = whole; break;
   case HOST_PROPERTY_MARGIN: e.margin = std::max( whole, 0 ); break;
   case HOST_PROPERTY_SPACING: e.spacing = std::max( whole, 0 ); break;
   case HOST_PROPERTY_VALUE:
      if ( e.kind == HOST_CONTROL_SLIDER )
         e.value = std::clamp( double( whole ), e.minimum, e.maximum );
      else if ( e.kind == HOST_CONTROL_COMBO_BOX )
         e.value = whole >= 0 && size_t( whole ) < e.items.size() ? whole : -1; // no item shown
      else
         e.value = whole != 0;
      break;
   default: Refuse( e, "Property " + std::to_string( property ) + " is read only" );
   }
}

double Controls::GetNumber( const ControlElement& e, int32_t property ) const
{
   if ( !Takes( e, property ) )
      Refuse( e, "Property " + std::to_string( property ) + " not supported" );
   switch ( property )
   {
   case HOST_PROPERTY_MIN_WIDTH: return e.minWidth;
   case HOST_PROPERTY_FIXED_WIDTH: return e.fixedWidth;
   case HOST_PROPERTY_FIXED_HEIGHT: return e.fixedHeight;
   case HOST_PROPERTY_WIDTH: return e.width;
   case HOST_PROPERTY_HEIGHT: return e.height;
   case HOST_PROPERTY_VALUE: return e.value;
   case HOST_PROPERTY_MINIMUM: return e.minimum;
   case HOST_PROPERTY_MAXIMUM: return e.maximum;
   case HOST_PROPERTY_PRECISION: return e.precision;
   case HOST_PROPERTY_TEXT_ALIGNMENT: return e.alignment;
   case HOST_PROPERTY_MARGIN: return e.margin;
   case HOST_PROPERTY_SPACING: return e.spacing;
   case HOST_PROPERTY_DISPLAY_PIXEL_RATIO: return m_ratio;
   default: Refuse( e, "Property " + std::to_string( property ) + " is not a number" );
   }
}

void Controls::SetText( ControlElement& e, int32_t property, std::u16string text )
{
   if ( property == HOST_PROPERTY_TEXT && Takes( e, property ) )
      e.text = std::move( text );
   else if ( property == HOST_PROPERTY_TOOL_TIP && Takes( e, property ) )
      e.toolTip = std::move( text );
   else
      Refuse( e, "Property " + std::to_string( property ) + " not supported" );
}

void Controls::AddToSizer( ControlElement& sizer, int32_t itemKind, ControlElement* item, int amount )
{
   if ( !sizer.IsSizer() )
      Refuse( sizer, "Not a sizer" );
   if ( itemKind == HOST_SIZER_ITEM )
   {
      if ( item == nullptr || item == &sizer || item->kind == HOST_CONTROL_WINDOW )
         Refuse( sizer, "Invalid sizer item" );
   }
   else if ( itemKind != HOST_SIZER_SPACING && itemKind != HOST_SIZER_STRETCH )
      Refuse( sizer, "Unknown kind of sizer item" );
   sizer.sizerItems.push_back( { itemKind, itemKind == HOST_SIZER_ITEM ? item : nullptr, std::max( amount, 0 ) } );
}

void Controls::SetSizer( ControlElement& control, ControlElement& sizer )
{
   if ( control.IsSizer() )
      Refuse( control, "A sizer holds no sizer" );
   if ( !sizer.IsSizer() )
      Refuse( sizer, "Not a sizer" );
   control.sizer = &sizer;
}

Controls::Size Controls::Preferred( const ControlElement& e ) const
{
   const int line = Scaled( m_lineHeight );
   Size s{ 0, 0 };
   switch ( e.kind )
   {
   case HOST_CONTROL_LABEL: s = { TextWidth( e.text ), line }; break;
   case HOST_CONTROL_EDIT: s = { Scaled( 10 * m_charWidth ), line + Scaled( 6 ) }; break;
   case HOST_CONTROL_SLIDER: s = { Scaled( 100 ), line }; break;
   case HOST_CONTROL_CHECK_BOX: s = { Scaled( 20 ) + TextWidth( e.text ), line }; break;
   case HOST_CONTROL_COMBO_BOX:
      for ( const auto& item : e.items )
         s.width = std::max( s.width, TextWidth( item ) );
      s = { s.width + Scaled( 30 ), line + Scaled( 6 ) };
      break;
   case HOST_CONTROL_HORIZONTAL_SIZER:
   case HOST_CONTROL_VERTICAL_SIZER:
   {
      // Sizer spacing goes between neighbouring controls and sizers only.
      const bool vertical = e.kind == HOST_CONTROL_VERTICAL_SIZER;
      int along = 0, across = 0;
      bool previousIsElement = false;
      for ( const auto& item : e.sizerItems )
      {
         const bool isElement = item.kind == HOST_SIZER_ITEM;
         if ( isElement )
         {
            const Size is = Preferred( *item.element );
            along += ( previousIsElement ? e.spacing : 0 ) + ( vertical ? is.height : is.width );
            across = std::max( across, vertical ? is.width : is.height );
         }
         else if ( item.kind == HOST_SIZER_SPACING )
            along += item.amount;
         previousIsElement = isElement;
      }
      along += 2 * e.margin;
      across += 2 * e.margin;
      return vertical ? Size{ across, along } : Size{ along, across };
   }
   default: // a frame or window: what its sizer holds
      if ( e.sizer != nullptr )
         s = Preferred( *e.sizer );
      break;
   }
   s.width = std::max( s.width, e.minWidth );
   if ( e.fixedWidth >= 0 )
      s.width = e.fixedWidth;
   if ( e.fixedHeight >= 0 )
      s.height = e.fixedHeight;
   return s;
}

void Controls::AdjustToContents( ControlElement& e )
{
   if ( e.IsSizer() )
      Refuse( e, "A sizer has no size of its own" );
   const Size s = Preferred( e );
   e.width = s.width;
   e.height = s.height;
}

int Controls::Notify( ControlElement& e, int32_t type, double value, const std::u16string& text )
{
   if ( e.callbacks.event == nullptr )
      return 0;
   const host_control_event event{ type, value, text.c_str(), text.size() };
   return e.callbacks.event( e.callbacks.data, &event );
}

int Controls::TypeText( ControlElement& e, const std::u16string& text )
{
   if ( e.kind != HOST_CONTROL_EDIT )
      Refuse( e, "Not an edit" );
   e.text = text;
   return Notify( e, HOST_EVENT_EDIT_COMPLETED, 0, text );
}

int Controls::MoveSlider( ControlElement& e, int position )
{
   if ( e.kind != HOST_CONTROL_SLIDER )
      Refuse( e, "Not a slider" );
   if ( position < e.minimum || position > e.maximum )
      Refuse( e, "Slider position out of range" );
   e.value = position;
   return Notify( e, HOST_EVENT_VALUE_CHANGED, position );
}

int Controls::SelectItem( ControlElement& e, int index )
{
   if ( e.kind != HOST_CONTROL_COMBO_BOX )
      Refuse( e, "Not a combo box" );
   if ( index < 0 || size_t( index ) >= e.items.size() )
      Refuse( e, "No item " + std::to_string( index ) );
   e.value = index;
   return Notify( e, HOST_EVENT_ITEM_SELECTED, index );
}

int Controls::SetChecked( ControlElement& e, bool checked )
{
   if ( e.kind != HOST_CONTROL_CHECK_BOX )
      Refuse( e, "Not a check box" );
   e.value = checked;
   return Notify( e, HOST_EVENT_CLICKED, checked );
}

int Controls::SetValueAsUser( ControlElement& e, const std::string& value )
{
   auto whole = [&]() {
      size_t used = 0;
      int n = 0;
      try
      {
         n = std::stoi( value, &used );
      }
      catch ( const std::exception& )
      {
         used = 0;
      }
      if ( used == 0 || used != value.size() )
         Refuse( e, "Not a whole number: " + value );
      return n;
   };
   switch ( e.kind )
   {
   case HOST_CONTROL_EDIT: return TypeText( e, utf::FromUTF8( value ) );
   case HOST_CONTROL_SLIDER: return MoveSlider( e, whole() );
   case HOST_CONTROL_COMBO_BOX:
   {
      auto i = std::find( e.items.begin(), e.items.end(), utf::FromUTF8( value ) );
      return SelectItem( e, i != e.items.end() ? int( i - e.items.begin() ) : whole() );
   }
   case HOST_CONTROL_CHECK_BOX:
      if ( value == "true" || value == "1" )
         return SetChecked( e, true );
      if ( value == "false" || value == "0" )
         return SetChecked( e, false );
      Refuse( e, "Not true or false: " + value );
   default: Refuse( e, "This control takes no value" );
   }
}

void Controls::PrintElement( const ControlElement& e, int depth, const std::string& suffix, std::string& out ) const
{
   out += std::string( 2 * depth, ' ' ) + Name( e );
   auto add = [&]( const std::string& key, const std::string& value ) { out += " " + key + "=" + value; };
   if ( e.kind == HOST_CONTROL_WINDOW )
      add( "title", Quoted( e.text ) );
   else if ( Takes( e, HOST_PROPERTY_TEXT ) )
      add( "text", Quoted( e.text ) );
   if ( e.kind == HOST_CONTROL_LABEL && e.alignment != 0 )
      add( "align", Alignment( e.alignment ) );
   if ( e.kind == HOST_CONTROL_EDIT )
   {
      add( "range", Number( e.minimum ) + ".." + Number( e.maximum ) );
      add( "precision", Number( e.precision ) );
   }
   if ( e.kind == HOST_CONTROL_SLIDER )
   {
      add( "value", Number( e.value ) );
      add( "range", Number( e.minimum ) + ".." + Number( e.maximum ) );
   }
   if ( e.kind == HOST_CONTROL_COMBO_BOX )
   {
      std::string items;
      for ( const auto& item : e.items )
      {
         if ( !items.empty() )
            items += ',';
         items += Quoted( item );
      }
      add( "items", items );
      add( "current", Number( e.value ) );
   }
   if ( e.kind == HOST_CONTROL_CHECK_BOX )
      add( "checked", e.value != 0 ? "true" : "false" );
   if ( e.IsSizer() )
   {
      add( "margin", Number( e.margin ) );
      add( "spacing", Number( e.spacing ) );
   }
   if ( e.minWidth > 0 )
      add( "minwidth", Number( e.minWidth ) );
   if ( e.kind == HOST_CONTROL_WINDOW )
      add( "size", Number( e.width ) + "x" + Number( e.height ) );
   if ( e.fixedWidth >= 0 || e.fixedHeight >= 0 )
      add( "fixed", ( e.fixedWidth >= 0 ? Number( e.fixedWidth ) : "-" ) + "x" +
                       ( e.fixedHeight >= 0 ? Number( e.fixedHeight ) : "-" ) );
   if ( !e.toolTip.empty() )
      add( "tooltip", Quoted( e.toolTip ) );
   out += suffix + "\n";
   if ( e.sizer != nullptr )
      PrintElement( *e.sizer, depth + 1, "", out );
   const std::string indent( 2 * ( depth + 1 ), ' ' );
   for ( const auto& item : e.sizerItems )
   {
      if ( item.kind == HOST_SIZER_ITEM )
         PrintElement( *item.element, depth + 1, item.amount != 0 ? " stretch=" + std::to_string( item.amount ) : "",
                       out );
      else
         out += indent + ( item.kind == HOST_SIZER_SPACING ? "Spacing " : "Stretch " ) + std::to_string( item.amount ) +
                "\n";
   }
}

std::string Controls::Print( const ControlElement& root ) const
{
   std::string out;
   PrintElement( root, 0, "", out );
   return out;
}

} // host
