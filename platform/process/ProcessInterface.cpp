#include "platform/process/ProcessInterface.h"

#include "platform/core/Exception.h"
#include "platform/boundary/HostBinding.h"
#include "platform/process/InterfaceCallbacks.h"
#include "platform/process/MetaProcess.h"

namespace pcl
{

ProcessInterface::ProcessInterface() : Control( Deferred{} ), MetaObject( Root() )
{
   if ( Root() == nullptr )
      throw Error( "ProcessInterface: no module object to attach the interface to." );
}

ProcessInterface::~ProcessInterface() = default;

void ProcessInterface::PerformAPIDefinitions()
{
   const IsoString id = Id();
   host_interface_desc desc{};
   desc.id = id.c_str();
   desc.version = Version();
   desc.iconXPM = IconImageXPM();
   desc.process = Process();
   desc.canImportInstances = CanImportInstances() ? 1 : 0;
   desc.isInstanceGenerator = IsInstanceGenerator() ? 1 : 0;
   desc.requiresInstanceValidation = RequiresInstanceValidation() ? 1 : 0;
   desc.object = this;
   desc.callbacks = &InterfaceCallbacks();
   host_control_handle window = nullptr;
   if ( Host().InterfaceDeclare( &desc, &window ) != 0 )
      ThrowHostError( ( "Unable to declare the interface " + id.Std() ).c_str() );
   AttachHostWindow( window );
   MetaObject::PerformAPIDefinitions();
}

bool ProcessInterface::Launch( const MetaProcess& process, const ProcessImplementation*, bool& dynamic, unsigned& )
{
   dynamic = false;
   return &process == Process();
}

} // pcl
