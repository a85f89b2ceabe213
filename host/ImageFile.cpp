#include "host/ImageFile.h"

#include "host/FitsFile.h"
#include "host/SampleType.h"
#include "host/TiffFile.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <limits>
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

// A name beside the target for the file being written, removed unless the
// file was committed to its target.
class TemporaryFile
{
public:
   explicit TemporaryFile( const std::string& target )
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

   ~TemporaryFile()
   {
      if ( !m_committed )
         ::unlink( m_path.c_str() );
   }

   TemporaryFile( const TemporaryFile& ) = delete;
   TemporaryFile& operator=( const TemporaryFile& ) = delete;

   const std::string& Path() const noexcept { return m_path; }

   // Makes the written file durable and gives it the target's name.
   void Commit( const std::string& target, bool overwrite )
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

private:
   std::string m_path;
   bool m_committed = false;
};

// Two's complement samples of one width, as read, become the unsigned type of
// that width shifted by half its range: the top bit flips.
template <typename T>
void ShiftSigned( ImageData& image )
{
   for ( auto& channel : image.channels )
   {
      T* s = reinterpret_cast<T*>( channel.data() );
      const size_t count = channel.size() / sizeof( T );
      for ( size_t i = 0; i < count; ++i )
         s[i] ^= T( T( 1 ) << ( 8 * sizeof( T ) - 1 ) );
   }
}

template <typename T>
void ScaleFloat( ImageData& image, const std::string& sampleName, const std::string& path )
{
   T lowest = std::numeric_limits<T>::max(), highest = std::numeric_limits<T>::lowest();
   for ( const auto& channel : image.channels )
   {
      const T* s = reinterpret_cast<const T*>( channel.data() );
      const size_t count = channel.size() / sizeof( T );
      for ( size_t i = 0; i < count; ++i )
      {
         if ( !std::isfinite( s[i] ) )
            throw std::runtime_error( path + ": the image has non-finite (NaN or infinite) samples, which are not taken" );
         lowest = std::min( lowest, s[i] );
         highest = std::max( highest, s[i] );
      }
   }
   if ( lowest >= 0 && highest <= 1 )
      return;
   // Zero stays zero for data without negative samples: proportions hold.
   const double lo = std::min( 0.0, double( lowest ) ), hi = std::max( 1.0, double( highest ) );
   for ( auto& channel : image.channels )
   {
      T* s = reinterpret_cast<T*>( channel.data() );
      const size_t count = channel.size() / sizeof( T );
      for ( size_t i = 0; i < count; ++i )
         s[i] = T( std::clamp( ( double( s[i] ) - lo ) / ( hi - lo ), 0.0, 1.0 ) );
   }
   char text[200];
   std::snprintf( text, sizeof text, "%s samples from %.9g to %.9g scaled linearly from [%.9g, %.9g] to [0, 1]",
                  sampleName.c_str(), double( lowest ), double( highest ), lo, hi );
   image.conversion = text;
}

} // namespace

void ImageData::Allocate( int w, int h, int n, int cs, int bits, bool isFloat )
{
   width = w;
   height = h;
   numberOfChannels = n;
   colorSpace = cs;
   bitsPerSample = bits;
   isFloatSample = isFloat;
   channels.assign( size_t( n ), std::vector<unsigned char>( BytesPerChannel(), 0 ) );
}

size_t ImageData::BytesPerChannel() const noexcept
{
   return size_t( width ) * size_t( height ) * size_t( bitsPerSample / 8 );
}

host_image_desc ImageData::Describe()
{
   m_pointers.clear();
   for ( auto& c : channels )
      m_pointers.push_back( c.data() );
   return host_image_desc{ width, height, numberOfChannels, colorSpace, bitsPerSample, isFloatSample ? 1 : 0, 0,
                           m_pointers.data() };
}

void detail::BringIntoRange( ImageData& image, bool isSigned, const std::string& path )
{
   const std::string sampleName = std::to_string( image.bitsPerSample ) + "-bit floating-point";
   WithSampleType( image.bitsPerSample, image.isFloatSample, [&]<typename T>( T ) {
      if constexpr ( std::is_floating_point_v<T> )
         ScaleFloat<T>( image, sampleName, path );
      else if ( isSigned )
      {
         ShiftSigned<T>( image );
         image.conversion = "signed " + std::to_string( image.bitsPerSample ) + "-bit samples shifted by +" +
                            std::to_string( uint64_t( 1 ) << ( image.bitsPerSample - 1 ) ) +
                            " into the unsigned range";
      }
   } );
}

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
