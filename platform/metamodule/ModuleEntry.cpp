// The entry functions that the platform answers for the module. No exception
// leaves them.
#include "platform/core/Exception.h"
#include "platform/boundary/HostBinding.h"
#include "platform/boundary/HostCall.h"
#include "platform/boundary/HostInterface.h"
#include "platform/metamodule/MetaModule.h"
#include "platform/metamodule/ModuleDescription.h"
#include "platform/metamodule/ModuleEntry.h"

#include <memory>
#include <utility>

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

namespace
{

// Built in phase 0, handed over in phase 1, freed in phase 255. Zero-initialised.
pcl::ModuleDescription* g_description = nullptr;

void RequireModule()
{
   if ( pcl::Module == nullptr )
      throw pcl::Error( "Module metadata not available. Please instantiate a MetaModule descendent class "
                        "upon module installation." );
}

} // namespace

int32_t IdentifyPixInsightModule( void** description, int32_t phase )
{
   return pcl::HostCall( [&] {
             switch ( phase )
             {
             case HOST_IDENTIFY_BUILD:
             {
                RequireModule();
                auto built = std::make_unique<pcl::ModuleDescription>( *pcl::Module );
                std::unique_ptr<pcl::ModuleDescription> previous( std::exchange( g_description, built.release() ) );
                break;
             }
             case HOST_IDENTIFY_GET:
                RequireModule();
                if ( g_description == nullptr )
                   throw pcl::Error( "The module description has not been built." );
                if ( description == nullptr )
                   throw pcl::Error( "Invalid module description address." );
                *description = const_cast<host_module_description*>( g_description->Get() );
                break;
             case HOST_IDENTIFY_FREE:
             {
                std::unique_ptr<pcl::ModuleDescription> freed( std::exchange( g_description, nullptr ) );
                break;
             }
             default:
                throw pcl::Error( "Invalid module identification phase: " + pcl::String( phase ) );
             }
          } )
             ? 0
             : 1;
}
