#include "platform/boundary/HostBinding.h"

#include "platform/core/Exception.h"

namespace pcl
{

namespace
{

// Zero-initialised: nothing runs at load time. Filled by BindHost.
HostFunctions g_host;
bool g_bound = false;

template <typename F>
void Resolve( host_function_resolver resolver, const char* name, F& slot )
{
   void* f = resolver( name );
   if ( f == nullptr )
      throw Error( String( "Host function not available: " ) + name );
   slot = reinterpret_cast<F>( f );
}

} // namespace

void BindHost( host_function_resolver resolver )
{
   if ( resolver == nullptr )
      throw Error( "Invalid host function resolver." );
   HostFunctions h{};
#define PCL_RESOLVE_HOST_FUNCTION( name ) Resolve( resolver, #name, h.name );
   HOST_API_FUNCTIONS( PCL_RESOLVE_HOST_FUNCTION )
#undef PCL_RESOLVE_HOST_FUNCTION
   g_host = h;
   g_bound = true;
}

void UnbindHost() noexcept
{
   g_host = HostFunctions{};
   g_bound = false;
}

bool IsHostBound() noexcept
{
   return g_bound;
}

const HostFunctions& Host()
{
   if ( !g_bound )
      throw Error( "The host API has not been initialized." );
   return g_host;
}

void ThrowHostError( const char* context )
{
   const char16_t* text = g_bound ? g_host.HostLastError() : nullptr;
   String message( context );
   if ( text != nullptr && *text != 0 )
      message += String( ": " ) + String( text );
   throw Error( message );
}

} // pcl
