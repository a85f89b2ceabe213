#include "host/files/TemporaryFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <unistd.h>

namespace host
{

namespace
{

[[noreturn]] void ThrowSystemError( const std::string& path, const std::string& what )
{
   throw std::runtime_error( path + ": " + what + ": " + std::strerror( errno ) );
}

} // namespace

TemporaryFile::TemporaryFile( const std::string& target )
{
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
}

TemporaryFile::~TemporaryFile()
{
   if ( !m_committed )
      ::unlink( m_path.c_str() );
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
