#include "platform/controls/UIObject.h"

#include "platform/boundary/HostBinding.h"

#include <cmath>

namespace pcl
{

void CheckHostResult( int32_t result, const char* context )
{
   if ( result != 0 )
      ThrowHostError( context );
}

host_control_handle CreateHostControl( int32_t kind )
{
   host_control_handle handle = Host().ControlCreate( kind );
   if ( handle == nullptr )
      ThrowHostError( "Unable to create a control" );
   return handle;
}

void DestroyHostControl( host_control_handle handle ) noexcept
{
   if ( handle != nullptr && IsHostBound() )
      Host().ControlDestroy( handle );
}

double UIObject::DisplayPixelRatio() const
{
   double ratio = 1;
   CheckHostResult( Host().ControlGetNumber( m_handle, HOST_PROPERTY_DISPLAY_PIXEL_RATIO, &ratio ),
                    "Unable to read the display pixel ratio" );
   return ratio;
}

int UIObject::LogicalPixelsToPhysical( int size ) const
{
   return int( std::lround( DisplayPixelRatio() * size ) );
}

} // pcl
