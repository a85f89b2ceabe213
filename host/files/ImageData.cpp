#include "host/files/ImageData.h"

#include "host/files/SampleType.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <stdexcept>

namespace host
{

namespace
{

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

void BringIntoRange( ImageData& image, bool isSigned, const std::string& path )
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

} // host
