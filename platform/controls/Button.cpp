#include "platform/controls/Button.h"

namespace pcl
{

Button::Button( int32_t kind ) : Control( kind )
{
}

void Button::SetText( const String& text )
{
   Control::SetText( HOST_PROPERTY_TEXT, text, "Unable to set a button's text" );
}

void Button::OnClick( click_event_handler handler, Control& receiver )
{
   m_onClick = handler;
   m_onClickReceiver = &receiver;
}

void Button::SetChecked( bool checked )
{
   SetNumber( HOST_PROPERTY_VALUE, checked ? 1 : 0, "Unable to set a button's state" );
}

void Button::OnHostEvent( const host_control_event& event )
{
   if ( event.type == HOST_EVENT_CLICKED && m_onClick != nullptr )
      ( m_onClickReceiver->*m_onClick )( *this, event.value != 0 );
}

} // pcl
