#ifndef PCL_HOST_H
#define PCL_HOST_H

#include "platform/HostInterface.h"

namespace pcl
{

// The host functions the module calls, bound by name at initialisation.
struct HostFunctions
{
   HostLastError_t LastError;
   ConsoleWrite_t ConsoleWrite;
   ConsoleEnableAbort_t ConsoleEnableAbort;
   ConsoleAbortRequested_t ConsoleAbortRequested;
   ViewGetImage_t ViewGetImage;
   ViewAllocateImage_t ViewAllocateImage;
   ViewGetScreenTransferFunctions_t ViewGetScreenTransferFunctions;
   ViewComputeOrFetchProperty_t ViewComputeOrFetchProperty;
   ViewFullId_t ViewFullId;
   ViewLock_t ViewLock;
   ViewUnlock_t ViewUnlock;
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
