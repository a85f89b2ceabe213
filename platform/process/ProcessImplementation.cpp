#include "platform/process/ProcessImplementation.h"

#include "platform/core/Exception.h"
#include "platform/image/View.h"
#include "platform/boundary/HostBinding.h"
#include "platform/process/MetaProcess.h"

namespace pcl
{

namespace
{

host_process_handle DeclaredProcess( const MetaProcess* process )
{
   if ( process == nullptr || process->HostHandle() == nullptr )
      throw Error( "The instance's process has not been declared to the host." );
   return process->HostHandle();
}

module_instance_handle Handle( const ProcessImplementation* instance )
{
   return const_cast<ProcessImplementation*>( instance );
}

} // namespace

bool ProcessImplementation::CanExecuteOn( const View&, String& whyNot ) const
{
   whyNot = "This process cannot be executed on views.";
   return false;
}

bool ProcessImplementation::LaunchOn( View& view ) const
{
   return Host().InstanceLaunchOn( DeclaredProcess( m_meta ), Handle( this ), view.Handle() ) == 0;
}

bool ProcessImplementation::LaunchOnCurrentView() const
{
   return Host().InstanceLaunchOnCurrentView( DeclaredProcess( m_meta ), Handle( this ) ) == 0;
}

bool ProcessImplementation::LaunchInterface() const
{
   return Host().InstanceLaunchInterface( DeclaredProcess( m_meta ), Handle( this ) ) == 0;
}

} // pcl
