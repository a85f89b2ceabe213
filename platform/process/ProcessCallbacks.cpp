#include "platform/process/ProcessCallbacks.h"

#include "platform/core/StringList.h"
#include "platform/image/View.h"
#include "platform/boundary/HostCall.h"
#include "platform/process/MetaParameter.h"
#include "platform/process/MetaProcess.h"
#include "platform/process/ProcessImplementation.h"

namespace pcl
{

namespace
{

// The handles are the module's own objects, as it declared them.
const MetaProcess* AsProcess( module_process_handle p ) noexcept
{
   return static_cast<const MetaProcess*>( p );
}

ProcessImplementation* AsInstance( module_instance_handle i ) noexcept
{
   return static_cast<ProcessImplementation*>( i );
}

const MetaParameter* AsParameter( module_parameter_handle p ) noexcept
{
   return static_cast<const MetaParameter*>( p );
}

extern "C" {

module_instance_handle CreateInstance( module_process_handle process )
{
   ProcessImplementation* instance = nullptr;
   HostCall( [&] { instance = AsProcess( process )->Create(); } );
   return instance;
}

module_instance_handle CloneInstance( module_process_handle process, module_instance_handle source )
{
   ProcessImplementation* instance = nullptr;
   HostCall( [&] { instance = AsProcess( process )->Clone( *AsInstance( source ) ); } );
   return instance;
}

int32_t AssignInstance( module_instance_handle target, module_instance_handle source )
{
   return HostCall( [&] { AsInstance( target )->Assign( *AsInstance( source ) ); } ) ? 0 : 1;
}

void DestroyInstance( module_instance_handle instance )
{
   HostCall( [&] { delete AsInstance( instance ); } );
}

int32_t CanExecuteOn( module_instance_handle instance, host_view_handle view, host_text_sink whyNot, void* context )
{
   bool can = false;
   HostCall( [&] {
      String reason;
      can = AsInstance( instance )->CanExecuteOn( View( view ), reason );
      if ( !can && whyNot != nullptr )
         whyNot( context, reason.c_str(), reason.Length() );
   } );
   return can ? 1 : 0;
}

int32_t ExecuteOn( module_instance_handle instance, host_view_handle view )
{
   bool done = false;
   HostCall( [&] {
      View v( view );
      done = AsInstance( instance )->ExecuteOn( v );
   } );
   return done ? 0 : 1;
}

void* LockParameter( module_instance_handle instance, module_parameter_handle parameter, size_t tableRow )
{
   void* address = nullptr;
   HostCall( [&] { address = AsInstance( instance )->LockParameter( AsParameter( parameter ), tableRow ); } );
   return address;
}

int32_t ProcessCommandLine( module_process_handle process, int32_t argc, const char16_t* const* argv,
                            int32_t* result )
{
   return HostCall( [&] {
             StringList arguments;
             for ( int32_t i = 0; i < argc; ++i )
                arguments.Add( String( argv[i] ) );
             const int r = AsProcess( process )->ProcessCommandLine( arguments );
             if ( result != nullptr )
                *result = r;
          } )
             ? 0
             : 1;
}

} // extern "C"

// Constant-initialised: nothing runs when the library is loaded.
constexpr module_process_callbacks Callbacks = { CreateInstance, CloneInstance, AssignInstance, DestroyInstance,
                                                 CanExecuteOn,   ExecuteOn,     LockParameter,  ProcessCommandLine };

} // namespace

const module_process_callbacks& ProcessCallbacks() noexcept
{
   return Callbacks;
}

} // pcl
