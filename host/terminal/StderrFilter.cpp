#include "host/terminal/StderrFilter.h"

#include <cctype>
#include <string>
#include <unistd.h>

namespace host
{

namespace
{

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
   } );
}

StderrFilter::~StderrFilter()
{
   if ( m_reader.joinable() )
   {
      // The pipe's last writer goes: the reader sees its end.
      ::dup2( m_user, STDERR_FILENO );
      m_reader.join();
   }
   if ( m_read >= 0 )
      ::close( m_read );
   if ( m_user >= 0 )
      ::close( m_user );
}

} // host
