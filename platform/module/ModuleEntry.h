#ifndef PCL_MODULE_ENTRY_H
#define PCL_MODULE_ENTRY_H

#include "platform/module/HostInterface.h"

// The entry functions that the platform answers for the module.

// Refuses a host API version below HOST_API_VERSION_MINIMUM; binds the host's
// functions; has the module object declare its processes to the host. 0 on
// success; a refusal for want of a module object is written to the console.
extern "C" __attribute__(( visibility( "default" ) )) int32_t InitializePixInsightModule(
   void* moduleHandle, host_function_resolver resolver, uint32_t apiVersion, void* reserved );

#endif
