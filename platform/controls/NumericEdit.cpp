#include "platform/controls/NumericEdit.h"

#include "platform/core/Utf16.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace pcl
{

NumericEdit::NumericEdit()
{
   label.SetTextAlignment( TextAlign::Right | TextAlign::VertCenter );
   edit.SendEventsTo( *this );
   sizer.SetScaledSpacing( 4 );
   sizer.Add( label );
   sizer.Add( edit );
   SetSizer( sizer );
   UpdateFormat();
   UpdateControls();
}

double NumericEdit::Normalized( double value ) const
{
   // + 0.0 turns a negative zero, which would show as "-0.00", positive.
   value = std::clamp( value, m_lower, m_upper );
   if ( !m_real )
      return std::round( value ) + 0.0;
   const double scale = std::pow( 10.0, m_precision );
   return std::clamp( std::round( value * scale ) / scale, m_lower, m_upper ) + 0.0;
}

void NumericEdit::SetValue( double value )
{
   m_value = Normalized( value );
   UpdateControls();
}

void NumericEdit::SetRange( double lower, double upper )
{
   m_lower = std::min( lower, upper );
   m_upper = std::max( lower, upper );
   UpdateFormat();
   SetValue( m_value );
}

void NumericEdit::SetPrecision( int decimals )
{
   m_precision = std::clamp( decimals, 0, 15 );
   UpdateFormat();
   SetValue( m_value );
}

void NumericEdit::SetReal( bool real )
{
   m_real = real;
   UpdateFormat();
   SetValue( m_value );
}

void NumericEdit::OnValueUpdated( value_event_handler handler, Control& receiver )
{
   m_onValueUpdated = handler;
   m_onValueUpdatedReceiver = &receiver;
}

void NumericEdit::UpdateFormat()
{
   edit.SetNumericFormat( m_lower, m_upper, m_real ? m_precision : 0 );
}

void NumericEdit::UpdateControls()
{
   edit.SetText( String::Format( "%.*f", m_real ? m_precision : 0, m_value ) );
}

void NumericEdit::UserSetValue( double value )
{
   const double previous = m_value;
   SetValue( value );
   if ( m_value != previous && m_onValueUpdated != nullptr )
      ( m_onValueUpdatedReceiver->*m_onValueUpdated )( *this, m_value );
}

void NumericEdit::OnHostEvent( const host_control_event& event )
{
   if ( event.type != HOST_EVENT_EDIT_COMPLETED )
      return;
   const std::string text = utf::ToUTF8( std::u16string_view( event.text, event.length ) );
   const char* begin = text.c_str();
   char* end = nullptr;
   const double value = std::strtod( begin, &end );
   while ( end != nullptr && ( *end == ' ' || *end == '\t' ) )
      ++end;
   if ( end == begin || *end != '\0' || !std::isfinite( value ) )
   {
      UpdateControls(); // not a number: show the value kept
      return;
   }
   UserSetValue( value );
}

} // pcl
