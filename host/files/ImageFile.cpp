#include "host/files/ImageFile.h"

#include "host/files/FitsFile.h"
#include "host/files/TemporaryFile.h"
#include "host/files/TiffFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <sys/stat.h>

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

} // namespace

ImageData ReadImageFile( const std::string& path )
{
   char magic[9] = {};
   {
      std::ifstream file( path, std::ios::binary );
      if ( !file )
         ThrowSystemError( path, "cannot open the file" );
      file.read( magic, 8 );
   }
   if ( std::memcmp( magic, "SIMPLE  ", 8 ) == 0 )
      return ReadFitsFile( path );
   if ( std::memcmp( magic, "II*\0", 4 ) == 0 || std::memcmp( magic, "MM\0*", 4 ) == 0 ||
        std::memcmp( magic, "II+\0", 4 ) == 0 || std::memcmp( magic, "MM\0+", 4 ) == 0 )
      return ReadTiffFile( path );
   throw std::runtime_error( path + ": neither a FITS nor a TIFF file" );
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
