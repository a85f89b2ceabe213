#include "host/files/ImageData.h"

#include "host/files/SampleType.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <limits>
#include <stdexcept>

namespace host
{

namespace
{

size_t SampleCount( const host_image_desc& image )
{
   return size_t( image.width ) * size_t( image.height );
}

// Two's complement samples of one width, as read, become the unsigned type of
// that width shifted by half its range: the top bit flips.
template <typename T>
void ShiftSigned( const host_image_desc& image )
{
   const size_t count = SampleCount( image );
   for ( int c = 0; c < image.numberOfChannels; ++c )
   {
      T* s = static_cast<T*>( image.channels[c] );
      for ( size_t i = 0; i < count; ++i )
         s[i] ^= T( T( 1 ) << ( 8 * sizeof( T ) - 1 ) );
   }
}

template <typename T>
std::string ScaleFloat( const host_image_desc& image, const std::string& path )
{
   const size_t count = SampleCount( image );
   T lowest = std::numeric_limits<T>::max(), highest = std::numeric_limits<T>::lowest();
   bool finite = true;
   for ( int c = 0; c < image.numberOfChannels; ++c )
   {
      const T* s = static_cast<const T*>( image.channels[c] );
      for ( size_t i = 0; i < count; ++i )
      {
         finite &= std::abs( s[i] ) <= std::numeric_limits<T>::max(); // false for NaN too
         lowest = std::min( lowest, s[i] );
         highest = std::max( highest, s[i] );
      }
   }
   if ( !finite )
      throw std::runtime_error( path + ": the image has non-finite (NaN or infinite) samples, which are not taken" );
   if ( lowest >= 0 && highest <= 1 )
      return "";
   // Zero stays zero for data without negative samples: proportions hold.
   const double lo = std::min( 0.0, double( lowest ) ), hi = std::max( 1.0, double( highest ) );
   // Halves keep the span finite for samples near the limits of doubles
   // (halving is exact there); a finite span is taken whole.
   const double k = std::isfinite( hi - lo ) ? 1.0 : 0.5;
   const double span = hi * k - lo * k;
   for ( int c = 0; c < image.numberOfChannels; ++c )
   {
      T* s = static_cast<T*>( image.channels[c] );
      for ( size_t i = 0; i < count; ++i )
         s[i] = T( std::clamp( ( double( s[i] ) * k - lo * k ) / span, 0.0, 1.0 ) );
   }
   char text[200];
   std::snprintf( text, sizeof text,
                  "%d-bit floating-point samples from %.9g to %.9g scaled linearly from [%.9g, %.9g] to [0, 1]",
                  image.bitsPerSample, double( lowest ), double( highest ), lo, hi );
   return text;
}

// What /proc/meminfo tells as available without swapping: free memory and
// caches that can be dropped. Unknown: no limit.
uintmax_t AvailableMemory()
{
   std::ifstream meminfo( "/proc/meminfo" );
   std::string name;
   uintmax_t kilobytes = 0;
   while ( meminfo >> name >> kilobytes )
   {
      if ( name == "MemAvailable:" )
         return kilobytes * 1024;
      meminfo.ignore( std::numeric_limits<std::streamsize>::max(), '\n' );
   }
   return std::numeric_limits<uintmax_t>::max();
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

uintmax_t ImageBytes( const host_image_desc& format ) noexcept
{
   uintmax_t bytes = 1;
   for ( int factor : { format.width, format.height, format.numberOfChannels, format.bitsPerSample / 8 } )
      if ( __builtin_mul_overflow( bytes, uintmax_t( std::max( factor, 0 ) ), &bytes ) )
         return std::numeric_limits<uintmax_t>::max();
   return bytes;
}

host_image_desc CheckedImageFormat( const std::string& path, uintmax_t width, uintmax_t height, int numberOfChannels,
                                    int colorSpace, int bitsPerSample, bool isFloatSample )
{
   if ( width == 0 || height == 0 )
      throw std::runtime_error( path + ": the image is empty: " + std::to_string( width ) + " x " +
                                std::to_string( height ) + " pixels" );
   constexpr uintmax_t side = std::numeric_limits<int>::max();
   if ( width > side || height > side )
      throw std::runtime_error( path + ": the image is too large: " + std::to_string( width ) + " x " +
                                std::to_string( height ) + " pixels (at most " + std::to_string( side ) +
                                " on a side)" );
   return host_image_desc{ int( width ), int( height ), numberOfChannels, colorSpace, bitsPerSample,
                           isFloatSample ? 1 : 0, 0, nullptr };
}

void CheckMemoryFor( const std::string& path, const host_image_desc& format )
{
   const uintmax_t available = AvailableMemory();
   if ( ImageBytes( format ) > available )
      throw std::runtime_error( path + ": the image is too large: " + ImageSizeText( format ) + "; " +
                                std::to_string( available / 1000000 ) + " MB of memory are available" );
}

std::string ImageSizeText( const host_image_desc& format )
{
   const double bytes = double( ImageBytes( format ) );
   char text[200];
   std::snprintf( text, sizeof text, "%d x %d pixels, %d channel%s of %d-bit %s samples (%.0f MB)", format.width,
                  format.height, format.numberOfChannels, format.numberOfChannels == 1 ? "" : "s",
                  format.bitsPerSample, format.isFloatSample ? "floating-point" : "integer", std::ceil( bytes / 1e6 ) );
   return text;
}

std::string BringIntoRange( const host_image_desc& image, bool isSigned, const std::string& path )
{
   return WithSampleType( image.bitsPerSample, image.isFloatSample != 0, [&]<typename T>( T ) -> std::string {
      if constexpr ( std::is_floating_point_v<T> )
         return ScaleFloat<T>( image, path );
      else
      {
         if ( !isSigned )
            return "";
         ShiftSigned<T>( image );
         return "signed " + std::to_string( image.bitsPerSample ) + "-bit samples shifted by +" +
             std::to_string( uint64_t( 1 ) << ( image.bitsPerSample - 1 ) ) + " into the unsigned range";
      }
   } );
}

} // host
