// The entry functions that the platform answers for the module. No exception
// leaves them.
#include "platform/module/Host.h"
#include "platform/module/HostInterface.h"

#define PCL_MODULE_EXPORT extern "C" __attribute__(( visibility( "default" ) ))

PCL_MODULE_EXPORT int32_t InitializePixInsightModule( void* /*moduleHandle*/, host_function_resolver resolver,
                                                      uint32_t apiVersion, void* /*reserved*/ )
{
   if ( apiVersion < HOST_API_VERSION_MINIMUM )
      return 1;
   try
   {
      pcl::BindHost( resolver );
      return 0;
   }
   catch ( ... )
   {
      return 1;
   }
}
