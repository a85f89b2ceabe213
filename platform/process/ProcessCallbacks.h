#ifndef PCL_PROCESS_CALLBACKS_H
#define PCL_PROCESS_CALLBACKS_H

#include "platform/boundary/HostInterface.h"

namespace pcl
{

// The callbacks through which the host works with the instances of every
// process of the module: the handles are the module's MetaProcess,
// ProcessImplementation and MetaParameter objects.
const module_process_callbacks& ProcessCallbacks() noexcept;

} // pcl

#endif
