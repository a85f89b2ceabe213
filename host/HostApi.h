#ifndef VELQORA_HOST_API_H
#define VELQORA_HOST_API_H

// The host functions for processes, image windows and views that the host
// hands to a module by name (see HOST_API_FUNCTIONS).
#include "platform/boundary/HostInterface.h"

namespace host
{

extern "C" {

int32_t ProcessDeclare( const host_process_desc* desc, host_process_handle* process );
int32_t ProcessDeclareParameter( host_process_handle process, const host_parameter_desc* desc );
int32_t InstanceLaunchOn( host_process_handle process, module_instance_handle instance, host_view_handle view );
int32_t InstanceLaunchOnCurrentView( host_process_handle process, module_instance_handle instance );
int32_t InstanceLaunchInterface( host_process_handle process, module_instance_handle instance );
host_view_handle ViewById( const char16_t* fullId );
size_t ViewCount( void );
host_view_handle ViewAt( size_t index );
host_window_handle WindowActive( void );
host_view_handle WindowMainView( host_window_handle window );
host_view_handle WindowCurrentView( host_window_handle window );

} // extern "C"

} // host

#endif
