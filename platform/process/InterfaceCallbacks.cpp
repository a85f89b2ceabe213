#include "platform/process/InterfaceCallbacks.h"

#include "platform/core/Exception.h"
#include "platform/boundary/HostCall.h"
#include "platform/process/MetaProcess.h"
#include "platform/process/ProcessImplementation.h"
#include "platform/process/ProcessInterface.h"

namespace pcl
{

namespace
{

ProcessInterface* AsInterface( module_interface_handle i ) noexcept
{
   return static_cast<ProcessInterface*>( i );
}

const ProcessImplementation& AsInstance( module_instance_handle i )
{
   if ( i == nullptr )
      throw Error( "Invalid process instance." );
   return *static_cast<const ProcessImplementation*>( i );
}

// Only the module's own processes can be handed to its interfaces.
const MetaProcess& AsProcess( module_process_handle p )
{
   const auto* process = static_cast<const MetaProcess*>( p );
   const MetaObject* module = MetaObject::Root();
   if ( process != nullptr && module != nullptr )
      for ( size_t i = 0; i < module->Length(); ++i )
         if ( dynamic_cast<const MetaProcess*>( ( *module )[i] ) == process )
            return *process;
   throw Error( "Not a process of this module." );
}

extern "C" {

int32_t Launch( module_interface_handle object, module_process_handle process, module_instance_handle instance,
                int32_t* dynamic, uint32_t* flags, int32_t* launched )
{
   return HostCall( [&] {
             bool dynamicMode = false;
             unsigned launchFlags = flags != nullptr ? *flags : 0;
             const bool taken =
                AsInterface( object )->Launch( AsProcess( process ), static_cast<const ProcessImplementation*>( instance ),
                                               dynamicMode, launchFlags );
             if ( dynamic != nullptr )
                *dynamic = dynamicMode ? 1 : 0;
             if ( flags != nullptr )
                *flags = launchFlags;
             if ( launched != nullptr )
                *launched = taken ? 1 : 0;
          } )
             ? 0
             : 1;
}

module_instance_handle NewProcess( module_interface_handle object )
{
   ProcessImplementation* instance = nullptr;
   HostCall( [&] { instance = AsInterface( object )->NewProcess(); } );
   return instance;
}

int32_t ImportProcess( module_interface_handle object, module_instance_handle instance, int32_t* imported )
{
   return HostCall( [&] {
             const bool done = AsInterface( object )->ImportProcess( AsInstance( instance ) );
             if ( imported != nullptr )
                *imported = done ? 1 : 0;
          } )
             ? 0
             : 1;
}

int32_t ResetInstance( module_interface_handle object )
{
   return HostCall( [&] { AsInterface( object )->ResetInstance(); } ) ? 0 : 1;
}

int32_t ApplyInstance( module_interface_handle object )
{
   return HostCall( [&] { AsInterface( object )->ApplyInstance(); } ) ? 0 : 1;
}

int32_t ValidateProcess( module_interface_handle object, module_instance_handle instance, host_text_sink whyNot,
                         void* context )
{
   bool valid = false;
   HostCall( [&] {
      String reason;
      valid = AsInterface( object )->ValidateProcess( AsInstance( instance ), reason );
      if ( !valid && whyNot != nullptr )
         whyNot( context, reason.c_str(), reason.Length() );
   } );
   return valid ? 1 : 0;
}

} // extern "C"

// Constant-initialised: nothing runs when the library is loaded.
constexpr module_interface_callbacks Callbacks = { Launch,        NewProcess,    ImportProcess,
                                                   ResetInstance, ApplyInstance, ValidateProcess };

} // namespace

const module_interface_callbacks& InterfaceCallbacks() noexcept
{
   return Callbacks;
}

} // pcl
