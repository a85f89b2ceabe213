#include "platform/controls/ComboBox.h"

#include "platform/boundary/HostBinding.h"

namespace pcl
{

ComboBox::ComboBox() : Control( HOST_CONTROL_COMBO_BOX )
{
}

void ComboBox::AddItem( const String& text )
{
   CheckHostResult( Host().ControlAddItem( m_handle, text.c_str(), text.Length() ), "Unable to add an item" );
}

void ComboBox::SetCurrentItem( int index )
{
   SetNumber( HOST_PROPERTY_VALUE, index, "Unable to select an item" );
}

void ComboBox::OnItemSelected( item_event_handler handler, Control& receiver )
{
   m_onItemSelected = handler;
   m_onItemSelectedReceiver = &receiver;
}

void ComboBox::OnHostEvent( const host_control_event& event )
{
   if ( event.type == HOST_EVENT_ITEM_SELECTED && m_onItemSelected != nullptr )
      ( m_onItemSelectedReceiver->*m_onItemSelected )( *this, int( event.value ) );
}

} // pcl
