#include "host/Host.h"

#include "host/HostApi.h"
#include "host/HostGuard.h"

#include <cstring>
#include <stdexcept>

namespace host
{

namespace
{

Host* g_current = nullptr;

std::u16string& LastErrorOfThisThread() noexcept
{
   thread_local std::u16string text;
   return text;
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

extern "C" {

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
   return Guarded( [&] {
      if ( view == nullptr || desc == nullptr )
         throw std::runtime_error( "Invalid view" );
      *desc = AsView( view )->Describe();
   } );
}

int32_t ViewAllocateImage( host_view_handle view, int32_t width, int32_t height, int32_t numberOfChannels,
                           int32_t colorSpace, int32_t bitsPerSample, int32_t isFloatSample, host_image_desc* desc )
{
   return Guarded( [&] {
      if ( view == nullptr || desc == nullptr )
         throw std::runtime_error( "Invalid view" );
      AsView( view )->Reallocate( width, height, numberOfChannels, colorSpace, bitsPerSample, isFloatSample != 0 );
      *desc = AsView( view )->Describe();
   } );
}

int32_t ViewGetScreenTransferFunctions( host_view_handle view, host_stf stf[HOST_STF_COUNT] )
{
   return Guarded( [&] {
      if ( view == nullptr || stf == nullptr )
         throw std::runtime_error( "Invalid view" );
      for ( int i = 0; i < HOST_STF_COUNT; ++i )
         stf[i] = AsView( view )->ScreenTransferFunction( i );
   } );
}

int32_t ViewComputeOrFetchProperty( host_view_handle view, const char* id, int32_t /*notify*/, int32_t* kind,
                                    double* values, size_t capacity, size_t* count )
{
   return Guarded( [&] {
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

} // extern "C"

} // namespace

Host::Host() : m_rootThread( std::this_thread::get_id() )
{
   if ( g_current != nullptr )
      throw std::logic_error( "Only one host at a time" );
   g_current = this;
}

Host::~Host()
{
   // Instances are destroyed by the module, which may still write to the
   // console while this host is current.
   m_processes.Clear();
   g_current = nullptr;
}

Host* Host::Current() noexcept
{
   return g_current;
}

void Host::SetLastError( const std::string& text )
{
   LastErrorOfThisThread() = utf::FromUTF8( text );
}

const std::u16string& Host::LastError() noexcept
{
   return LastErrorOfThisThread();
}

extern "C" void* ResolveHostFunction( const char* name )
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

std::string Text( const char* s )
{
   return s != nullptr ? s : "";
}

std::string Text( const char16_t* s )
{
   return s != nullptr ? utf::ToUTF8( s ) : "";
}

} // host
