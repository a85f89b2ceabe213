#include "host/windows/HostView.h"

#include "host/windows/ChannelStatistics.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <new>
#include <stdexcept>

namespace host
{


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

void View::FreeSamples::operator()( void* samples ) const noexcept
{
   std::free( samples );
}

void View::Reallocate( int width, int height, int numberOfChannels, int colorSpace, int bitsPerSample,
                       bool isFloatSample, bool isComplexSample )
{
   if ( width <= 0 || height <= 0 || numberOfChannels <= 0 || bitsPerSample <= 0 || bitsPerSample % 8 != 0 )
      throw std::runtime_error( "Invalid image geometry or sample format" );
   host_image_desc desc{ width, height, numberOfChannels, colorSpace, bitsPerSample, isFloatSample ? 1 : 0,
                         isComplexSample ? 1 : 0, nullptr };
   const size_t bytes = size_t( width ) * size_t( height ) * size_t( bitsPerSample / 8 ) * ( isComplexSample ? 2 : 1 );
   std::vector<std::unique_ptr<void, FreeSamples>> storage;
   for ( int c = 0; c < numberOfChannels; ++c )
   {
      storage.emplace_back( std::calloc( bytes, 1 ) );
      if ( !storage.back() )
         throw std::bad_alloc();
   }
   m_storage = std::move( storage );
   m_pointers.resize( size_t( numberOfChannels ) );
   for ( int c = 0; c < numberOfChannels; ++c )
      m_pointers[size_t( c )] = m_storage[size_t( c )].get();
   m_desc = desc;
   m_desc.channels = m_pointers.data();
   ImageChanged();
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
      const MedianAndMAD m =
         ComputeMedianAndMAD( m_pointers[c], size_t( Width() ) * size_t( Height() ), BitsPerSample(), IsFloatSample() );
      medians.push_back( m.median );
      mads.push_back( m.mad );
   }
   ++m_computations;
   m_computed["Median"] = std::move( medians );
   m_computed["MAD"] = std::move( mads );
   return m_computed[id];
}

} // host
