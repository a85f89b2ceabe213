#ifndef VELQORA_HOST_API_H
#define VELQORA_HOST_API_H

// The functions that the host hands to a module by name: every one of the
// table both sides use, and the resolver that hands them out.
#include "platform/boundary/HostInterface.h"

#include <type_traits>

namespace host
{

extern "C" {

#define VELQORA_HOST_FUNCTION( name ) std::remove_pointer_t<name##_t> name;
HOST_API_FUNCTIONS( VELQORA_HOST_FUNCTION )
#undef VELQORA_HOST_FUNCTION

// The host's functions by name; null for an unknown name or when no host is
// current.
void* ResolveHostFunction( const char* name );

} // extern "C"

} // host

#endif
