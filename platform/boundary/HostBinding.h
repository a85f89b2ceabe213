#ifndef PCL_HOST_BINDING_H
#define PCL_HOST_BINDING_H

#include "platform/boundary/HostInterface.h"

namespace pcl
{

// The host functions the module calls, bound by name at initialisation.
struct HostFunctions
{
#define PCL_HOST_FUNCTION_SLOT( name ) name##_t name;
   HOST_API_FUNCTIONS( PCL_HOST_FUNCTION_SLOT )
#undef PCL_HOST_FUNCTION_SLOT
};

// Binds every host function through the resolver. Throws Error, binding
// nothing, when the resolver lacks one.
void BindHost( host_function_resolver resolver );
void UnbindHost() noexcept;
bool IsHostBound() noexcept;

// The bound functions; throws Error when the host has not been bound.
const HostFunctions& Host();

// Throws Error with the host's text of its last failure, after `context`.
[[noreturn]] void ThrowHostError( const char* context );

} // pcl

#endif
