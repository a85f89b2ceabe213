#include "host/HostApi.h"

#include "host/Host.h"
#include "platform/core/Utf16.h"

#include <stdexcept>

namespace host
{

namespace
{

// Runs f, turning a failure into the nonzero result and the host's last error.
template <typename F>
int32_t Guarded( F&& f ) noexcept
{
   Host* h = Host::Current();
   if ( h == nullptr )
      return 1;
   try
   {
      h->SetLastError( "" );
      f( *h );
      return 0;
   }
   catch ( const std::exception& e )
   {
      try { h->SetLastError( e.what() ); } catch ( ... ) {}
   }
   catch ( ... )
   {
   }
   return 1;
}

// A value found by f, or null when it fails.
template <typename T, typename F>
T* Found( F&& f ) noexcept
{
   T* found = nullptr;
   Guarded( [&]( Host& h ) { found = f( h ); } );
   return found;
}

Process& DeclaredProcess( Host& h, host_process_handle process )
{
   Process* p = h.Processes().FromHandle( process );
   if ( p == nullptr )
      throw std::runtime_error( "Unknown process handle" );
   return *p;
}

void Succeeded( bool done, const char* what )
{
   if ( !done )
      throw std::runtime_error( what );
}

} // namespace

extern "C" {

int32_t ProcessDeclare( const host_process_desc* desc, host_process_handle* process )
{
   return Guarded( [&]( Host& h ) {
      if ( desc == nullptr || process == nullptr )
         throw std::runtime_error( "Invalid process declaration" );
      *process = &h.Processes().Declare( *desc );
   } );
}

int32_t ProcessDeclareParameter( host_process_handle process, const host_parameter_desc* desc )
{
   return Guarded( [&]( Host& h ) {
      if ( desc == nullptr )
         throw std::runtime_error( "Invalid parameter declaration" );
      DeclaredProcess( h, process ).DeclareParameter( *desc );
   } );
}

int32_t InstanceLaunchOn( host_process_handle process, module_instance_handle instance, host_view_handle view )
{
   return Guarded( [&]( Host& h ) {
      View* v = static_cast<View*>( view );
      if ( instance == nullptr || v == nullptr || h.FindWindow( *v ) == nullptr )
         throw std::runtime_error( "Invalid instance or view" );
      Succeeded( DeclaredProcess( h, process ).Execute( instance, *v ), "The process failed" );
   } );
}

int32_t InstanceLaunchOnCurrentView( host_process_handle process, module_instance_handle instance )
{
   return Guarded( [&]( Host& h ) {
      if ( instance == nullptr )
         throw std::runtime_error( "Invalid instance" );
      if ( h.ActiveWindow() == nullptr )
         throw std::runtime_error( "There is no active image window." );
      Succeeded( DeclaredProcess( h, process ).Execute( instance, h.ActiveWindow()->CurrentView() ),
                 "The process failed" );
   } );
}

int32_t InstanceLaunchInterface( host_process_handle process, module_instance_handle instance )
{
   return Guarded( [&]( Host& h ) {
      if ( instance == nullptr )
         throw std::runtime_error( "Invalid instance" );
      Succeeded( DeclaredProcess( h, process ).LaunchInterface( instance ), "The instance could not be copied" );
   } );
}

host_view_handle ViewById( const char16_t* fullId )
{
   return Found<View>( [&]( Host& h ) { return fullId ? h.FindView( utf::ToUTF8( fullId ) ) : nullptr; } );
}

size_t ViewCount( void )
{
   size_t count = 0;
   Guarded( [&]( Host& h ) { count = h.Views().size(); } );
   return count;
}

host_view_handle ViewAt( size_t index )
{
   return Found<View>( [&]( Host& h ) {
      const std::vector<View*> views = h.Views();
      return index < views.size() ? views[index] : nullptr;
   } );
}

host_window_handle WindowActive( void )
{
   return Found<ImageWindow>( []( Host& h ) { return h.ActiveWindow(); } );
}

host_view_handle WindowMainView( host_window_handle window )
{
   return window != nullptr ? &static_cast<ImageWindow*>( window )->MainView() : nullptr;
}

host_view_handle WindowCurrentView( host_window_handle window )
{
   return window != nullptr ? &static_cast<ImageWindow*>( window )->CurrentView() : nullptr;
}

} // extern "C"

} // host
