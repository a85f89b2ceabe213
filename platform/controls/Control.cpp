#include "platform/controls/Control.h"

#include "platform/controls/Sizer.h"
#include "platform/boundary/HostBinding.h"
#include "platform/boundary/HostCall.h"

namespace pcl
{

Control::Control() : Control( HOST_CONTROL_FRAME )
{
}

Control::Control( int32_t kind ) : UIObject( CreateHostControl( kind ) ), m_owned( true )
{
   try
   {
      SendEventsTo( *this );
   }
   catch ( ... )
   {
      DestroyHostControl( m_handle );
      throw;
   }
}

Control::~Control()
{
   if ( m_owned )
      DestroyHostControl( m_handle );
}

void Control::AttachHostWindow( host_control_handle window )
{
   m_handle = window;
   m_owned = false;
   SendEventsTo( *this );
}

void Control::SendEventsTo( Control& receiver )
{
   host_control_callbacks callbacks{ &receiver, &Control::DispatchEvent };
   CheckHostResult( Host().ControlSetCallbacks( m_handle, &callbacks ), "Unable to connect a control" );
}

int32_t Control::DispatchEvent( void* data, const host_control_event* event ) noexcept
{
   return HostCall( [&] { static_cast<Control*>( data )->OnHostEvent( *event ); } ) ? 0 : 1;
}

void Control::SetNumber( int32_t property, double value, const char* context )
{
   CheckHostResult( Host().ControlSetNumber( m_handle, property, value ), context );
}

double Control::GetNumber( int32_t property, const char* context ) const
{
   double value = 0;
   CheckHostResult( Host().ControlGetNumber( m_handle, property, &value ), context );
   return value;
}

void Control::SetText( int32_t property, const String& text, const char* context )
{
   CheckHostResult( Host().ControlSetText( m_handle, property, text.c_str(), text.Length() ), context );
}

void Control::SetToolTip( const String& text )
{
   SetText( HOST_PROPERTY_TOOL_TIP, text, "Unable to set a tool tip" );
}

void Control::SetMinWidth( int width )
{
   SetNumber( HOST_PROPERTY_MIN_WIDTH, width, "Unable to set a minimum width" );
}

void Control::SetFixedWidth( int width )
{
   SetNumber( HOST_PROPERTY_FIXED_WIDTH, width, "Unable to fix a width" );
}

void Control::SetFixedHeight( int height )
{
   SetNumber( HOST_PROPERTY_FIXED_HEIGHT, height, "Unable to fix a height" );
}

void Control::SetFixedSize( int width, int height )
{
   SetFixedWidth( width );
   SetFixedHeight( height );
}

int Control::Width() const
{
   return int( GetNumber( HOST_PROPERTY_WIDTH, "Unable to read a width" ) );
}

int Control::Height() const
{
   return int( GetNumber( HOST_PROPERTY_HEIGHT, "Unable to read a height" ) );
}

void Control::AdjustToContents()
{
   CheckHostResult( Host().ControlAdjustToContents( m_handle ), "Unable to adjust a control" );
}

void Control::SetSizer( Sizer& sizer )
{
   CheckHostResult( Host().ControlSetSizer( m_handle, sizer.Handle() ), "Unable to set a sizer" );
}

void Control::SetWindowTitle( const String& title )
{
   SetText( HOST_PROPERTY_TEXT, title, "Unable to set a window title" );
}

} // pcl
