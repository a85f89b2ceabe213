// The host stand-in's program: loads the module as the host does.
#include "host/Host.h"
#include "host/ModuleLoader.h"

#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

namespace
{

int Smoke( const std::string& modulePath )
{
   host::Host h;
   h.GetConsole().SetEcho( true );
   host::ModuleLoader module( modulePath );
   std::printf( "Loaded %s\n", modulePath.c_str() );
   if ( module.Install() == nullptr || module.Initialize() == nullptr )
   {
      std::fprintf( stderr, "The module does not export its entry functions\n" );
      return 1;
   }
   if ( module.Install()( 0 ) != 0 )
   {
      std::fprintf( stderr, "Module installation failed\n" );
      return 1;
   }
   if ( module.Initialize()( nullptr, &host::ResolveHostFunction, HOST_API_VERSION, nullptr ) != 0 )
   {
      std::fprintf( stderr, "Module initialisation failed\n" );
      return 1;
   }
   std::printf( "Module initialised\n%s", h.Processes().Listing().c_str() );
   using version_t = const char* (*)();
   if ( auto version = reinterpret_cast<version_t>( module.Symbol( "TF_Version" ) ) )
      std::printf( "TensorFlow %s\n", version() );
   else
   {
      std::fprintf( stderr, "TensorFlow is not linked into the module\n" );
      return 1;
   }
   return 0;
}

} // namespace

int main( int argc, char** argv )
{
   try
   {
      if ( argc == 3 && std::strcmp( argv[1], "--smoke" ) == 0 )
         return Smoke( argv[2] );
      std::fprintf( stderr, "usage: velqora-host --smoke <module.so>\n" );
      return 2;
   }
   catch ( const std::exception& e )
   {
      std::fprintf( stderr, "velqora-host: %s\n", e.what() );
      return 1;
   }
}
