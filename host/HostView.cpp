#include "host/HostView.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace host
{

namespace
{

// Median by selection: the middle value, or the mean of the two middle ones.
double Median( std::vector<double>& v )
{
   if ( v.empty() )
      return 0;
   const size_t n = v.size(), h = n / 2;
   std::nth_element( v.begin(), v.begin() + h, v.end() );
   double upper = v[h];
   if ( n % 2 == 1 )
      return upper;
   // After the selection the lower half holds the smaller values.
   double lower = *std::max_element( v.begin(), v.begin() + h );
   return ( lower + upper ) / 2;
}

// Samples divided by the format's maximum, as the module's pixel traits read
// them: a multiplication by the reciprocal would be off by one unit in the last
// place for some values.
template <typename T>
void Normalise( const void* data, size_t count, double maximum, std::vector<double>& out )
{
   const T* s = static_cast<const T*>( data );
   for ( size_t i = 0; i < count; ++i )
      out[i] = double( s[i] ) / maximum;
}

} // namespace

View::View( std::string id, int width, int height, int numberOfChannels, int colorSpace, int bitsPerSample,
            bool isFloatSample, bool isComplexSample )
   : m_id( std::move( id ) )
   , m_fullId( m_id.begin(), m_id.end() )
{
   m_stf.fill( host_stf{ 0.5, 0, 1, 0, 1 } );
   Reallocate( width, height, numberOfChannels, colorSpace, bitsPerSample, isFloatSample, isComplexSample );
}

size_t View::BytesPerChannel() const noexcept
{
   return size_t( m_desc.width ) * size_t( m_desc.height ) * size_t( m_desc.bitsPerSample / 8 ) *
          ( m_desc.isComplexSample ? 2 : 1 );
}

void View::Reallocate( int width, int height, int numberOfChannels, int colorSpace, int bitsPerSample,
                       bool isFloatSample, bool isComplexSample )
{
   if ( width < 0 || height < 0 || numberOfChannels < 0 || bitsPerSample <= 0 || bitsPerSample % 8 != 0 )
      throw std::runtime_error( "Invalid image geometry or sample format" );
   m_desc.width = width;
   m_desc.height = height;
   m_desc.numberOfChannels = numberOfChannels;
   m_desc.colorSpace = colorSpace;
   m_desc.bitsPerSample = bitsPerSample;
   m_desc.isFloatSample = isFloatSample ? 1 : 0;
   m_desc.isComplexSample = isComplexSample ? 1 : 0;
   const size_t words = ( BytesPerChannel() + sizeof( double ) - 1 ) / sizeof( double );
   m_storage.assign( numberOfChannels, std::vector<double>( words, 0.0 ) );
   m_pointers.resize( numberOfChannels );
   for ( int c = 0; c < numberOfChannels; ++c )
      m_pointers[c] = m_storage[c].data();
   m_desc.channels = m_pointers.data();
   ImageChanged();
}

std::vector<double> View::NormalisedChannel( int c ) const
{
   const size_t count = size_t( Width() ) * size_t( Height() );
   std::vector<double> v( count );
   const void* data = m_pointers[c];
   if ( IsFloatSample() && BitsPerSample() == 32 )
      Normalise<float>( data, count, 1.0, v );
   else if ( IsFloatSample() && BitsPerSample() == 64 )
      Normalise<double>( data, count, 1.0, v );
   else if ( !IsFloatSample() && BitsPerSample() == 8 )
      Normalise<uint8_t>( data, count, 255.0, v );
   else if ( !IsFloatSample() && BitsPerSample() == 16 )
      Normalise<uint16_t>( data, count, 65535.0, v );
   else if ( !IsFloatSample() && BitsPerSample() == 32 )
      Normalise<uint32_t>( data, count, 4294967295.0, v );
   else
      throw std::runtime_error( "Unsupported sample format" );
   return v;
}

const std::vector<double>& View::ComputeOrFetchProperty( const std::string& id )
{
   if ( auto p = m_properties.find( id ); p != m_properties.end() )
      return p->second;
   if ( auto p = m_computed.find( id ); p != m_computed.end() )
      return p->second;
   if ( id != "Median" && id != "MAD" )
      throw std::runtime_error( "Unknown view property: " + id );
   if ( IsComplexSample() )
      throw std::runtime_error( "Cannot compute " + id + " of a complex image" );

   std::vector<double> medians, mads;
   for ( int c = 0; c < NumberOfChannels(); ++c )
   {
      std::vector<double> v = NormalisedChannel( c );
      const double median = Median( v );
      for ( double& x : v )
         x = std::abs( x - median );
      medians.push_back( median );
      mads.push_back( Median( v ) );
   }
   ++m_computations;
   m_computed["Median"] = std::move( medians );
   m_computed["MAD"] = std::move( mads );
   return m_computed[id];
}

} // host
