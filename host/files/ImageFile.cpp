#include "host/files/ImageFile.h"

#include "host/files/FitsFile.h"
#include "host/files/TemporaryFile.h"
#include "host/files/TiffFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace host
{

namespace
{

std::string Lower( std::string s )
{
   std::transform( s.begin(), s.end(), s.begin(), []( unsigned char c ) { return char( std::tolower( c ) ); } );
   return s;
}

bool HasExtension( const std::string& path, std::initializer_list<const char*> extensions )
{
   const std::string name = Lower( path.substr( path.find_last_of( '/' ) + 1 ) );
   for ( const char* e : extensions )
      if ( name.size() > std::strlen( e ) && name.ends_with( e ) )
         return true;
   return false;
}

[[noreturn]] void ThrowSystemError( const std::string& path, const std::string& what )
{
   throw std::runtime_error( path + ": " + what + ": " + std::strerror( errno ) );
}

struct CloseFile
{
   void operator()( const int* fd ) const noexcept { ::close( *fd ); }
};

const char* FileTypeName( mode_t mode )
{
   if ( S_ISDIR( mode ) )
      return "a directory";
   if ( S_ISFIFO( mode ) )
      return "a FIFO";
   if ( S_ISSOCK( mode ) )
      return "a socket";
   if ( S_ISCHR( mode ) || S_ISBLK( mode ) )
      return "a device";
   return "a special file";
}

} // namespace

ImageFileInfo ReadImageFile( const std::string& path, const ImageAllocator& allocate )
{
   char magic[8] = {};
   {
      // Without blocking: a FIFO would wait for a writer. The readers open the
      // file again by name; what is checked here is what the user gave.
      const int fd = ::open( path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC );
      if ( fd < 0 )
         ThrowSystemError( path, "cannot open the file" );
      const std::unique_ptr<const int, CloseFile> closer( &fd );
      struct stat info;
      if ( ::fstat( fd, &info ) != 0 )
         ThrowSystemError( path, "cannot open the file" );
      if ( !S_ISREG( info.st_mode ) )
         throw std::runtime_error( path + ": not a regular file but " + FileTypeName( info.st_mode ) );
      if ( ::read( fd, magic, sizeof magic ) < 0 )
         ThrowSystemError( path, "cannot read the file" );
   }
   // The format the reader settled on, for a message about its memory.
   host_image_desc format{};
   const ImageAllocator allocateAndTell = [&]( const host_image_desc& f ) {
      format = f;
      return allocate( f );
   };
   try
   {
      if ( std::memcmp( magic, "SIMPLE  ", 8 ) == 0 )
         return ReadFitsFile( path, allocateAndTell );
      if ( std::memcmp( magic, "II*\0", 4 ) == 0 || std::memcmp( magic, "MM\0*", 4 ) == 0 ||
           std::memcmp( magic, "II+\0", 4 ) == 0 || std::memcmp( magic, "MM\0+", 4 ) == 0 )
         return ReadTiffFile( path, allocateAndTell );
   }
   catch ( const std::bad_alloc& )
   {
      throw std::runtime_error( path + ": not enough memory to open the image" +
                                ( format.width > 0 ? ": " + ImageSizeText( format ) : std::string() ) );
   }
   throw std::runtime_error( path + ": neither a FITS nor a TIFF file" );
}

ImageData ReadImageFile( const std::string& path )
{
   ImageData image;
   ImageFileInfo info = ReadImageFile( path, [&]( const host_image_desc& f ) {
      image.Allocate( f.width, f.height, f.numberOfChannels, f.colorSpace, f.bitsPerSample, f.isFloatSample != 0 );
      return image.Describe();
   } );
   static_cast<ImageFileInfo&>( image ) = std::move( info );
   return image;
}

void WriteImageFile( const std::string& path, const host_image_desc& image, const std::vector<std::string>& keywords,
                     bool overwrite )
{
   const bool fits = HasExtension( path, { ".fits", ".fit", ".fts" } );
   if ( !fits && !HasExtension( path, { ".tif", ".tiff" } ) )
      throw std::runtime_error( path + ": unknown file type; the name must end in .fits, .fit, .fts, .tif or .tiff" );
   struct stat existing;
   if ( !overwrite && ::lstat( path.c_str(), &existing ) == 0 )
      throw std::runtime_error( path + ": the file exists already; it is not overwritten" );
   TemporaryFile file( path );
   try
   {
      if ( fits )
         WriteFitsFile( file.Path(), image, keywords );
      else
         WriteTiffFile( file.Path(), image );
   }
   catch ( const std::bad_alloc& )
   {
      throw std::runtime_error( path + ": not enough memory to save the image: " + ImageSizeText( image ) );
   }
   catch ( const std::runtime_error& e )
   {
      // The writers name the temporary file; the user knows the target.
      std::string text = e.what();
      if ( text.starts_with( file.Path() ) )
         text = path + text.substr( file.Path().size() );
      throw std::runtime_error( text );
   }
   file.Commit( path, overwrite );
}

} // host
