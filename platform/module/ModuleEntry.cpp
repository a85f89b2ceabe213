// The entry functions that the platform answers for the module. No exception
// leaves them.
#include "platform/core/Exception.h"
#include "platform/module/Host.h"
#include "platform/module/HostCall.h"
#include "platform/module/HostInterface.h"
#include "platform/module/MetaModule.h"
#include "platform/module/ModuleEntry.h"

int32_t InitializePixInsightModule( void* /*moduleHandle*/, host_function_resolver resolver,
                                                      uint32_t apiVersion, void* /*reserved*/ )
{
   // An older host's functions cannot be trusted even to report the refusal.
   if ( apiVersion < HOST_API_VERSION_MINIMUM )
      return 1;
   try
   {
      pcl::BindHost( resolver );
   }
   catch ( ... )
   {
      return 1;
   }
   const bool declared = pcl::HostCall( [] {
      if ( pcl::Module == nullptr )
         throw pcl::Error( "Module metadata not available. Please instantiate a MetaModule descendent class "
                           "upon module installation." );
      pcl::Module->PerformAPIDefinitions();
   } );
   return declared ? 0 : 1;
}
