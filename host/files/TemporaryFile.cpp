#include "host/files/TemporaryFile.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <unistd.h>

namespace host
{

namespace
{

// The save that a signal handler may abandon: its temporary file and target,
// written only while `g_abandonable` is false.
std::atomic<bool> g_abandonable{ false };
char g_file[PATH_MAX];
char g_target[PATH_MAX];

// SIGINT and SIGTERM held back on this thread for the scope.
class SignalsHeld
{
public:
   SignalsHeld() noexcept
   {
      sigset_t held;
      ::sigemptyset( &held );
      ::sigaddset( &held, SIGINT );
      ::sigaddset( &held, SIGTERM );
      ::pthread_sigmask( SIG_BLOCK, &held, &m_previous );
   }
   ~SignalsHeld() { ::pthread_sigmask( SIG_SETMASK, &m_previous, nullptr ); }
   SignalsHeld( const SignalsHeld& ) = delete;
   SignalsHeld& operator=( const SignalsHeld& ) = delete;

private:
   sigset_t m_previous;
};

[[noreturn]] void ThrowSystemError( const std::string& path, const std::string& what )
{
   throw std::runtime_error( path + ": " + what + ": " + std::strerror( errno ) );
}

} // namespace

const char* AbandonSave() noexcept
{
   if ( !g_abandonable.exchange( false ) )
      return nullptr;
   ::unlink( g_file );
   return g_target;
}

TemporaryFile::TemporaryFile( const std::string& target )
{
   const SignalsHeld held;
   const size_t slash = target.find_last_of( '/' );
   const std::string directory = slash == std::string::npos ? std::string() : target.substr( 0, slash + 1 );
   const std::string name = slash == std::string::npos ? target : target.substr( slash + 1 );
   m_path = directory + "." + name + ".XXXXXX";
   // A unique name is reserved, then freed for the writer, which creates
   // the file itself.
   const int fd = ::mkstemp( m_path.data() );
   if ( fd < 0 )
      ThrowSystemError( target, "cannot create a temporary file beside it" );
   ::close( fd );
   ::unlink( m_path.c_str() );
   // One save at a time can be abandoned: the one the host makes.
   if ( m_path.size() < sizeof g_file && target.size() < sizeof g_target && !g_abandonable.load() )
   {
      std::memcpy( g_file, m_path.c_str(), m_path.size() + 1 );
      std::memcpy( g_target, target.c_str(), target.size() + 1 );
      g_abandonable = m_abandonable = true;
   }
}

TemporaryFile::~TemporaryFile()
{
   const SignalsHeld held;
   if ( !m_committed )
      ::unlink( m_path.c_str() );
   if ( m_abandonable )
      g_abandonable = false;
}

void TemporaryFile::Commit( const std::string& target, bool overwrite )
{
   const int fd = ::open( m_path.c_str(), O_RDONLY );
   if ( fd < 0 || ::fsync( fd ) != 0 )
   {
      if ( fd >= 0 )
         ::close( fd );
      ThrowSystemError( target, "cannot flush the written file" );
   }
   ::close( fd );
   // From here the save completes or fails; a signal waits for its end.
   const SignalsHeld held;
   if ( m_abandonable )
      g_abandonable = m_abandonable = false;
   int result = overwrite ? std::rename( m_path.c_str(), target.c_str() )
                          : ::renameat2( AT_FDCWD, m_path.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE );
   if ( result != 0 && !overwrite && ( errno == EINVAL || errno == ENOSYS ) )
   {
      // A file system without an exclusive rename: a hard link is exclusive too.
      result = ::link( m_path.c_str(), target.c_str() );
      if ( result == 0 )
         ::unlink( m_path.c_str() );
   }
   if ( result != 0 )
   {
      if ( errno == EEXIST )
         throw std::runtime_error( target + ": the file exists already; it is not overwritten" );
      ThrowSystemError( target, "cannot rename the written file to it" );
   }
   m_committed = true;
}

} // host
