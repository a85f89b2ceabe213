#ifndef PCL_MODULE_ENTRY_H
#define PCL_MODULE_ENTRY_H

#include "platform/boundary/HostInterface.h"

// The entry functions that the platform answers for the module.

// Refuses a host API version below HOST_API_VERSION_MINIMUM; binds the host's
// functions; has the module object declare its processes to the host. 0 on
// success; a refusal for want of a module object is written to the console.
extern "C" __attribute__(( visibility( "default" ) )) int32_t InitializePixInsightModule(
   void* moduleHandle, host_function_resolver resolver, uint32_t apiVersion, void* reserved );

// Phase 0 builds the module's description from the module object's metadata,
// phase 1 hands it over in `description`, phase 255 frees it. 0 on success;
// before initialisation a refusal is written to standard error.
extern "C" __attribute__(( visibility( "default" ) )) int32_t IdentifyPixInsightModule( void** description,
                                                                                        int32_t phase );

#endif
