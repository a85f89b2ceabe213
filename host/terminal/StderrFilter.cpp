#include "host/terminal/StderrFilter.h"

#include <cctype>
#include <dlfcn.h>
#include <link.h>
#include <cstring>
#include <ctime>
#include <string>
#include <unistd.h>
#include <vector>

namespace host
{

namespace
{

// The filter that has standard error; one at a time.
std::atomic<StderrFilter*> g_filter{ nullptr };

// "I0000 00:00:1796586745.687094   29011 port.cc:153] ...": severity, month
// and day, time, thread, file:line and "] ".
bool IsLogRecord( std::string_view line ) noexcept
{
   if ( line.size() < 8 || std::string_view( "IWEF" ).find( line[0] ) == std::string_view::npos )
      return false;
   for ( size_t i = 1; i <= 4; ++i )
      if ( !std::isdigit( static_cast<unsigned char>( line[i] ) ) )
         return false;
   if ( line[5] != ' ' )
      return false;
   const size_t close = line.find( "] " );
   return close != std::string_view::npos && line.substr( 0, close ).find( ':' ) != std::string_view::npos;
}

// abort() follows a fatal record: the record is passed on first.
extern "C" void OnAbort( int )
{
   StderrFilter::Drain();
   ::signal( SIGABRT, SIG_DFL );
   ::raise( SIGABRT );
}

// What to call, in each sanitizer's runtime library loaded, to have the
// filter drained before the sanitizer ends the process after a report; each
// keeps its own callbacks (GCC links AddressSanitizer's and
// UndefinedBehaviorSanitizer's apart, and a symbol looked up by name would
// reach the first only).
std::vector<StderrFilter::SetDeathCallback> SanitizerRuntimes()
{
   std::vector<std::string> names;
   ::dl_iterate_phdr(
      []( dl_phdr_info* info, size_t, void* found ) {
         if ( info->dlpi_name != nullptr && std::strstr( info->dlpi_name, "san.so" ) != nullptr )
            static_cast<std::vector<std::string>*>( found )->push_back( info->dlpi_name );
         return 0;
      },
      &names );
   std::vector<StderrFilter::SetDeathCallback> runtimes;
   for ( const std::string& name : names )
      if ( void* library = ::dlopen( name.c_str(), RTLD_LAZY | RTLD_NOLOAD ) )
      {
         if ( void* set = ::dlsym( library, "__sanitizer_set_death_callback" ) )
            runtimes.push_back( reinterpret_cast<StderrFilter::SetDeathCallback>( set ) );
         ::dlclose( library ); // still loaded: the process needs it
      }
   return runtimes;
}

} // namespace

bool StderrFilter::Drop( std::string_view line ) noexcept
{
   if ( line.starts_with( "WARNING: All log messages before absl::InitializeLog() is called" ) )
      return true;
   // A record's further lines go with it; fatal records are shown.
   if ( IsLogRecord( line ) )
      m_inRecord = line[0] != 'F';
   return m_inRecord;
}

StderrFilter::StderrFilter()
{
   int fds[2];
   m_user = ::dup( STDERR_FILENO );
   if ( m_user < 0 || ::pipe( fds ) != 0 )
      return; // standard error stays as it is
   ::dup2( fds[1], STDERR_FILENO );
   ::close( fds[1] );
   m_read = fds[0];
   m_reader = std::thread( [this] {
      std::string pending;
      char buffer[4096];
      auto forward = [&]( std::string_view line ) {
         if ( !Drop( line ) )
            for ( size_t done = 0; done < line.size(); )
            {
               const ssize_t n = ::write( m_user, line.data() + done, line.size() - done );
               if ( n <= 0 )
                  break;
               done += size_t( n );
            }
      };
      for ( ssize_t n; ( n = ::read( m_read, buffer, sizeof buffer ) ) > 0; )
      {
         pending.append( buffer, size_t( n ) );
         for ( size_t end; ( end = pending.find( '\n' ) ) != std::string::npos; )
         {
            forward( std::string_view( pending ).substr( 0, end + 1 ) );
            pending.erase( 0, end + 1 );
         }
      }
      forward( pending );
      m_drained = true;
   } );
   g_filter = this;
   struct sigaction action = {};
   action.sa_handler = &OnAbort;
   ::sigemptyset( &action.sa_mask );
   ::sigaction( SIGABRT, &action, &m_previousAbort );
   // A sanitizer's report goes through the pipe like any other line, and the
   // sanitizer ends the process at once after it. (GCC 12's runtimes lose
   // reports sent to a descriptor of their own.)
   m_sanitizers = SanitizerRuntimes();
   for ( SetDeathCallback set : m_sanitizers )
      set( &StderrFilter::Drain );
}

StderrFilter::~StderrFilter()
{
   if ( m_reader.joinable() )
   {
      for ( SetDeathCallback set : m_sanitizers )
         set( nullptr );
      ::sigaction( SIGABRT, &m_previousAbort, nullptr );
      g_filter = nullptr;
      // The pipe's last writer goes: the reader sees its end.
      ::dup2( m_user, STDERR_FILENO );
      m_reader.join();
   }
   if ( m_read >= 0 )
      ::close( m_read );
   if ( m_user >= 0 )
      ::close( m_user );
}

void StderrFilter::Drain() noexcept
{
   if ( StderrFilter* filter = g_filter.exchange( nullptr ) )
      filter->DrainThis();
}

void StderrFilter::DrainThis() noexcept
{
   ::dup2( m_user, STDERR_FILENO );
   // The reader may be this very thread (a sanitizer's finding in it): then
   // it never finishes, and the wait ends with its second.
   const timespec pause{ 0, 1000000 };
   for ( int waited = 0; !m_drained.load() && waited < 1000; ++waited )
      ::nanosleep( &pause, nullptr );
}

} // host
