// The C functions that the host hands to a module by name, all of them: each
// finds the current host, does its work there, and turns a failure into the
// nonzero result and the host's last error.
#include "host/HostApi.h"

#include "host/Host.h"
#include "platform/core/Utf16.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace host
{

namespace
{

// Runs f on the current host; no exception reaches the module.
template <typename F>
int32_t Guarded( F&& f ) noexcept
{
   Host* h = Host::Current();
   if ( h == nullptr )
      return 1;
   try
   {
      Host::SetLastError( "" );
      f( *h );
      return 0;
   }
   catch ( const std::exception& e )
   {
      try { Host::SetLastError( e.what() ); } catch ( ... ) {}
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

Host& Current()
{
   // Functions are handed out only through a live host.
   return *Host::Current();
}

View* AsView( host_view_handle handle ) noexcept
{
   return static_cast<View*>( handle );
}

} // namespace

extern "C" {

// The console and the views.

const char16_t* HostLastError()
{
   return Host::LastError().c_str();
}

void ConsoleWrite( const char16_t* text, size_t length )
{
   try
   {
      Current().GetConsole().Write( std::u16string( text, length ) );
   }
   catch ( ... )
   {
   }
}

void ConsoleEnableAbort( int32_t enable )
{
   Current().GetConsole().EnableAbort( enable != 0 );
}

int32_t ConsoleAbortRequested()
{
   return Current().GetConsole().AbortRequested() ? 1 : 0;
}

int32_t ViewGetImage( host_view_handle view, host_image_desc* desc )
{
   return Guarded( [&]( Host& ) {
      if ( view == nullptr || desc == nullptr )
         throw std::runtime_error( "Invalid view" );
      *desc = AsView( view )->Describe();
   } );
}

int32_t ViewAllocateImage( host_view_handle view, int32_t width, int32_t height, int32_t numberOfChannels,
                           int32_t colorSpace, int32_t bitsPerSample, int32_t isFloatSample, host_image_desc* desc )
{
   return Guarded( [&]( Host& ) {
      if ( view == nullptr || desc == nullptr )
         throw std::runtime_error( "Invalid view" );
      AsView( view )->Reallocate( width, height, numberOfChannels, colorSpace, bitsPerSample, isFloatSample != 0 );
      *desc = AsView( view )->Describe();
   } );
}

int32_t ViewGetScreenTransferFunctions( host_view_handle view, host_stf stf[HOST_STF_COUNT] )
{
   return Guarded( [&]( Host& ) {
      if ( view == nullptr || stf == nullptr )
         throw std::runtime_error( "Invalid view" );
      for ( int i = 0; i < HOST_STF_COUNT; ++i )
         stf[i] = AsView( view )->ScreenTransferFunction( i );
   } );
}

int32_t ViewComputeOrFetchProperty( host_view_handle view, const char* id, int32_t /*notify*/, int32_t* kind,
                                    double* values, size_t capacity, size_t* count )
{
   return Guarded( [&]( Host& ) {
      if ( view == nullptr || id == nullptr || kind == nullptr || count == nullptr )
         throw std::runtime_error( "Invalid view property request" );
      const std::vector<double>& v = AsView( view )->ComputeOrFetchProperty( id );
      *kind = HOST_VALUE_VECTOR;
      *count = v.size();
      // An empty property has no data to copy from.
      if ( values != nullptr && !v.empty() )
         std::memcpy( values, v.data(), std::min( capacity, v.size() ) * sizeof( double ) );
   } );
}

const char16_t* ViewFullId( host_view_handle view )
{
   return view != nullptr ? AsView( view )->FullId().c_str() : u"";
}

int32_t ViewLock( host_view_handle view )
{
   if ( !Current().IsRootThread() )
      return HOST_LOCK_NOT_ROOT_THREAD;
   if ( AsView( view )->IsLocked() )
      return HOST_LOCK_ALREADY_LOCKED;
   AsView( view )->SetLocked( true );
   return HOST_LOCK_OK;
}

void ViewUnlock( host_view_handle view )
{
   if ( view != nullptr )
      AsView( view )->SetLocked( false );
}

// Processes, their instances, image windows.

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
      if ( instance == nullptr || v == nullptr || h.Windows().FindWindow( *v ) == nullptr )
         throw std::runtime_error( "Invalid instance or view" );
      Succeeded( DeclaredProcess( h, process ).Execute( instance, *v ), "The process failed" );
   } );
}

int32_t InstanceLaunchOnCurrentView( host_process_handle process, module_instance_handle instance )
{
   return Guarded( [&]( Host& h ) {
      if ( instance == nullptr )
         throw std::runtime_error( "Invalid instance" );
      if ( h.Windows().ActiveWindow() == nullptr )
         throw std::runtime_error( "There is no active image window." );
      Succeeded( DeclaredProcess( h, process ).Execute( instance, h.Windows().ActiveWindow()->CurrentView() ),
                 "The process failed" );
   } );
}

int32_t InstanceLaunchInterface( host_process_handle process, module_instance_handle instance )
{
   return Guarded( [&]( Host& h ) {
      if ( instance == nullptr )
         throw std::runtime_error( "Invalid instance" );
      Process& p = DeclaredProcess( h, process );
      Succeeded( p.LaunchInterface( instance ), "The instance could not be copied" );
      // The window of the process's interface, when it has one, opens with the instance.
      if ( Interface* window = h.Interfaces().ForProcess( p ) )
         window->Open( p, instance );
   } );
}

host_view_handle ViewById( const char16_t* fullId )
{
   return Found<View>( [&]( Host& h ) { return fullId ? h.Windows().FindView( utf::ToUTF8( fullId ) ) : nullptr; } );
}

size_t ViewCount( void )
{
   size_t count = 0;
   Guarded( [&]( Host& h ) { count = h.Windows().Views().size(); } );
   return count;
}

host_view_handle ViewAt( size_t index )
{
   return Found<View>( [&]( Host& h ) {
      const std::vector<View*> views = h.Windows().Views();
      return index < views.size() ? views[index] : nullptr;
   } );
}

host_window_handle WindowActive( void )
{
   return Found<ImageWindow>( []( Host& h ) { return h.Windows().ActiveWindow(); } );
}

host_view_handle WindowMainView( host_window_handle window )
{
   return window != nullptr ? &static_cast<ImageWindow*>( window )->MainView() : nullptr;
}

host_view_handle WindowCurrentView( host_window_handle window )
{
   return window != nullptr ? &static_cast<ImageWindow*>( window )->CurrentView() : nullptr;
}

// Controls and interface windows.

host_control_handle ControlCreate( int32_t kind )
{
   host_control_handle handle = nullptr;
   Guarded( [&]( Host& h ) {
      if ( kind == HOST_CONTROL_WINDOW )
         throw std::runtime_error( "Windows are made by the host" );
      handle = &h.GetControls().Create( kind );
   } );
   return handle;
}

void ControlDestroy( host_control_handle handle )
{
   Guarded( [&]( Host& h ) {
      ControlElement& e = h.GetControls().Element( handle );
      if ( e.kind == HOST_CONTROL_WINDOW )
         throw std::runtime_error( "Windows are the host's" );
      h.GetControls().Destroy( &e );
   } );
}

int32_t ControlSetText( host_control_handle handle, int32_t property, const char16_t* text, size_t length )
{
   return Guarded( [&]( Host& h ) {
      if ( text == nullptr && length != 0 )
         throw std::runtime_error( "Invalid text" );
      h.GetControls().SetText( h.GetControls().Element( handle ), property,
                             text != nullptr ? std::u16string( text, length ) : std::u16string() );
   } );
}

int32_t ControlSetNumber( host_control_handle handle, int32_t property, double value )
{
   return Guarded( [&]( Host& h ) { h.GetControls().SetNumber( h.GetControls().Element( handle ), property, value ); } );
}

int32_t ControlGetNumber( host_control_handle handle, int32_t property, double* value )
{
   return Guarded( [&]( Host& h ) {
      if ( value == nullptr )
         throw std::runtime_error( "Invalid value" );
      // The display pixel ratio is the host's, known also before a control exists.
      *value = handle == nullptr && property == HOST_PROPERTY_DISPLAY_PIXEL_RATIO
                  ? h.GetControls().DisplayPixelRatio()
                  : h.GetControls().GetNumber( h.GetControls().Element( handle ), property );
   } );
}

int32_t ControlAddItem( host_control_handle handle, const char16_t* text, size_t length )
{
   return Guarded( [&]( Host& h ) {
      ControlElement& e = h.GetControls().Element( handle );
      if ( e.kind != HOST_CONTROL_COMBO_BOX )
         throw std::runtime_error( "Not a combo box" );
      if ( text == nullptr && length != 0 )
         throw std::runtime_error( "Invalid text" );
      e.items.emplace_back( text != nullptr ? std::u16string( text, length ) : std::u16string() );
      if ( e.value < 0 )
         e.value = 0; // the first item shows once there is one
   } );
}

int32_t ControlSetCallbacks( host_control_handle handle, const host_control_callbacks* callbacks )
{
   return Guarded( [&]( Host& h ) {
      h.GetControls().Element( handle ).callbacks = callbacks != nullptr ? *callbacks : host_control_callbacks{};
   } );
}

int32_t ControlSetSizer( host_control_handle control, host_control_handle sizer )
{
   return Guarded( [&]( Host& h ) { h.GetControls().SetSizer( h.GetControls().Element( control ), h.GetControls().Element( sizer ) ); } );
}

int32_t ControlAdjustToContents( host_control_handle handle )
{
   return Guarded( [&]( Host& h ) { h.GetControls().AdjustToContents( h.GetControls().Element( handle ) ); } );
}

int32_t SizerAdd( host_control_handle sizer, int32_t itemKind, host_control_handle item, int32_t amount )
{
   return Guarded( [&]( Host& h ) {
      ControlElement* element = itemKind == HOST_SIZER_ITEM ? &h.GetControls().Element( item ) : nullptr;
      h.GetControls().AddToSizer( h.GetControls().Element( sizer ), itemKind, element, amount );
   } );
}

int32_t FontTextWidth( host_control_handle handle, const char16_t* text, size_t length, int32_t* width )
{
   return Guarded( [&]( Host& h ) {
      if ( ( text == nullptr && length != 0 ) || width == nullptr )
         throw std::runtime_error( "Invalid text" );
      if ( handle != nullptr )
         h.GetControls().Element( handle ); // one font for every control; the handle must still be valid
      *width = h.GetControls().TextWidth( text != nullptr ? std::u16string( text, length ) : std::u16string() );
   } );
}

int32_t InterfaceDeclare( const host_interface_desc* desc, host_control_handle* window )
{
   return Guarded( [&]( Host& h ) {
      if ( desc == nullptr || window == nullptr )
         throw std::runtime_error( "Invalid interface declaration" );
      *window = &h.Interfaces().Declare( *desc, h.Processes(), h.GetControls() ).Window();
   } );
}

void* ResolveHostFunction( const char* name )
{
   struct Entry
   {
      const char* name;
      void* function;
   };
   static const Entry table[] = {
#define HOST_FUNCTION_ENTRY( name ) { #name, reinterpret_cast<void*>( &name ) },
      HOST_API_FUNCTIONS( HOST_FUNCTION_ENTRY )
#undef HOST_FUNCTION_ENTRY
   };
   if ( name == nullptr || Host::Current() == nullptr )
      return nullptr;
   for ( const Entry& e : table )
      if ( std::strcmp( e.name, name ) == 0 )
         return e.function;
   return nullptr;
}

} // extern "C"

} // host
