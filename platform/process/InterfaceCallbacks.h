#ifndef PCL_INTERFACE_CALLBACKS_H
#define PCL_INTERFACE_CALLBACKS_H

#include "platform/boundary/HostInterface.h"

namespace pcl
{

// The callbacks through which the host works with every interface of the
// module: the handles are the module's ProcessInterface, MetaProcess and
// ProcessImplementation objects.
const module_interface_callbacks& InterfaceCallbacks() noexcept;

} // pcl

#endif
