#include "platform/core/File.h"

#include "platform/core/Exception.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <sys/stat.h>

namespace pcl
{

namespace
{

struct FileCloser
{
   void operator()( std::FILE* f ) const noexcept { std::fclose( f ); }
};

[[noreturn]] void ThrowFileError( const String& path, const char* what, int error )
{
   throw Error( path + ": " + what + ( error != 0 ? String( ": " ) + std::strerror( error ) : String() ) );
}

// The file's status; throws for an empty name, a missing file or anything
// but a regular file.
struct stat RegularFileStatus( const String& path )
{
   if ( path.IsEmpty() )
      throw Error( "Invalid or empty file name" );
   struct stat info;
   if ( ::stat( path.ToStdUTF8().c_str(), &info ) != 0 )
      ThrowFileError( path, "Unable to open file", errno );
   if ( !S_ISREG( info.st_mode ) )
      ThrowFileError( path, "Not a regular file", 0 );
   return info;
}

} // namespace

bool File::Exists( const String& path )
{
   if ( path.IsEmpty() )
      throw Error( "Invalid or empty file name" );
   struct stat info;
   return ::stat( path.ToStdUTF8().c_str(), &info ) == 0 && S_ISREG( info.st_mode );
}

ByteArray File::ReadFile( const String& path )
{
   const struct stat info = RegularFileStatus( path );
   const std::string name = path.ToStdUTF8();
   std::unique_ptr<std::FILE, FileCloser> file( std::fopen( name.c_str(), "rb" ) );
   if ( !file )
      ThrowFileError( path, "Unable to open file", errno );

   ByteArray bytes;
   bytes.Reserve( size_t( info.st_size ) );
   uint8_t buffer[65536];
   for ( ;; )
   {
      size_t n = std::fread( buffer, 1, sizeof( buffer ), file.get() );
      bytes.Add( buffer, buffer + n );
      if ( n < sizeof( buffer ) )
      {
         if ( std::ferror( file.get() ) )
            ThrowFileError( path, "Unable to read file", errno );
         break;
      }
   }
   return bytes;
}

uint64_t File::Size( const String& path )
{
   return uint64_t( RegularFileStatus( path ).st_size );
}

} // pcl
