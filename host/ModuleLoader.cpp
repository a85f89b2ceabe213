#include "host/ModuleLoader.h"

#include <dlfcn.h>
#include <stdexcept>

namespace host
{

void ModuleLoader::Closer::operator()( void* handle ) const noexcept
{
   dlclose( handle );
}

ModuleLoader::ModuleLoader( const std::string& path ) : m_handle( dlopen( path.c_str(), RTLD_NOW | RTLD_LOCAL ) )
{
   if ( !m_handle )
   {
      const char* why = dlerror();
      throw std::runtime_error( "Unable to load module " + path + ": " + ( why ? why : "unknown error" ) );
   }
   m_install = reinterpret_cast<InstallPixInsightModule_t>( Symbol( "InstallPixInsightModule" ) );
   m_initialize = reinterpret_cast<InitializePixInsightModule_t>( Symbol( "InitializePixInsightModule" ) );
   m_identify = reinterpret_cast<IdentifyPixInsightModule_t>( Symbol( "IdentifyPixInsightModule" ) );
}

void* ModuleLoader::Symbol( const char* name ) const noexcept
{
   return dlsym( m_handle.get(), name );
}

} // host
