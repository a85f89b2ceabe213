#ifndef VELQORA_HOST_GUARD_H
#define VELQORA_HOST_GUARD_H

#include "host/Host.h"

#include <exception>

namespace host
{

// Runs a host function's work for a module: a failure becomes the nonzero
// result and the host's last error, and no exception reaches the module.
template <typename F>
int32_t Guarded( F&& f ) noexcept
{
   try
   {
      Host::SetLastError( "" );
      f();
      return 0;
   }
   catch ( const std::exception& e )
   {
      try { Host::SetLastError( e.what() ); } catch ( ... ) {}
      return 1;
   }
   catch ( ... )
   {
      return 1;
   }
}

} // host

#endif
