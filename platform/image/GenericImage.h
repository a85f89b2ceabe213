#ifndef PCL_GENERIC_IMAGE_H
#define PCL_GENERIC_IMAGE_H

#include "platform/core/Array.h"
#include "platform/image/ColorSpace.h"
#include "platform/core/Exception.h"
#include "platform/boundary/HostInterface.h"
#include "platform/image/PixelTraits.h"
#include "platform/image/SampleBlock.h"
#include "platform/image/StatusMonitor.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

namespace pcl
{

// A rectangle [x0, x1) × [y0, y1); the default one is empty, which image
// operations read as "the current selection".
struct Rect
{
   int x0 = 0, y0 = 0, x1 = 0, y1 = 0;

   bool IsRect() const noexcept { return x1 > x0 && y1 > y0; }
   int Width() const noexcept { return x1 - x0; }
   int Height() const noexcept { return y1 - y0; }
};

namespace detail
{

// Gives a view's image a new geometry through the host; returns its new pixels.
host_image_desc AllocateHostImage( host_view_handle view, int width, int height, int numberOfChannels,
                                   int colorSpace, int bitsPerSample, bool isFloatSample );

} // detail

// A multi-channel image of pixel type P, planar: each channel is a block of
// Width() × Height() samples stored row by row.
//
// Copies share their pixel data. Operations that change pixels make the data
// their own first, except direct sample access (operator(), PixelData(),
// ScanLine()), which stays a plain load or store: call EnsureUnique() before
// writing samples of an image whose data may be shared. An image that wraps a
// view's pixels (a host image) writes into the host's memory.
template <class P>
class GenericImage
{
public:
   using pixel_traits = P;
   using sample = typename P::sample;

   GenericImage() = default;

   GenericImage( int width, int height, int colorSpace = ColorSpace::Gray )
   {
      AllocateData( width, height, ColorSpace::NumberOfNominalChannels( colorSpace ), colorSpace );
   }

   // Wraps the pixels of a view's image; nothing is copied.
   GenericImage( const host_image_desc& desc, host_view_handle view )
   {
      auto d = std::make_shared<Data>();
      d->view = view;
      d->Adopt( desc );
      m_data = std::move( d );
      ResetSelections();
   }

   GenericImage( const GenericImage& ) = default;
   GenericImage( GenericImage&& ) noexcept = default;

   template <class P2>
   explicit GenericImage( const GenericImage<P2>& source )
   {
      Assign( source );
   }

   GenericImage& operator=( const GenericImage& source )
   {
      if ( this != &source )
         Assign( source );
      return *this;
   }

   GenericImage& operator=( GenericImage&& source )
   {
      if ( IsHostImage() )
         Assign( source );
      else if ( this != &source )
      {
         m_data = std::move( source.m_data );
         m_selection = source.m_selection;
      }
      return *this;
   }

   // Takes the source's size, channels and colour space, its samples converted
   // to this pixel type; resets the selections. A host image receives the
   // samples in the host's memory; any other image shares a same-type source.
   template <class P2>
   GenericImage& operator=( const GenericImage<P2>& source )
   {
      Assign( source );
      return *this;
   }

   // Fills the selection with a value in the normalised range.
   GenericImage& operator=( double value )
   {
      Fill( value );
      return *this;
   }

   template <class P2>
   void Assign( const GenericImage<P2>& source )
   {
      if constexpr ( std::is_same_v<P, P2> )
         if ( !IsHostImage() && !source.IsHostImage() )
         {
            m_data = source.m_data;
            ResetSelections();
            return;
         }
      const int w = source.Width(), h = source.Height(), n = source.NumberOfChannels();
      // Read through a reference that keeps the source alive even if it is us.
      GenericImage<P2> src( source );
      if ( IsHostImage() && SharesDataWith( src ) )
         return ResetSelections();
      if ( IsHostImage() )
         ReallocateHostImage( w, h, n, source.ColorSpace() );
      else
         Allocate( w, h, n, source.ColorSpace(), false ); // every sample is written below
      const size_t count = size_t( w ) * size_t( h );
      for ( int c = 0; c < n; ++c )
      {
         const typename P2::sample* s = src.PixelData( c );
         sample* t = PixelData( c );
         if constexpr ( std::is_same_v<P, P2> )
            std::memcpy( t, s, count * sizeof( sample ) );
         else
            for ( size_t i = 0; i < count; ++i )
               t[i] = P::ToSample( P2::FromSample( s[i] ) );
      }
      ResetSelections();
   }

   // New, zeroed pixel data owned by this image.
   void AllocateData( int width, int height, int numberOfChannels, int colorSpace )
   {
      Allocate( width, height, numberOfChannels, colorSpace, true );
   }

private:
   void Allocate( int width, int height, int numberOfChannels, int colorSpace, bool zero )
   {
      if ( width < 0 || height < 0 || numberOfChannels < 0 )
         throw Error( "Invalid image geometry." );
      if ( IsHostImage() )
      {
         ReallocateHostImage( width, height, numberOfChannels, colorSpace );
         return;
      }
      auto d = std::make_shared<Data>();
      d->width = width;
      d->height = height;
      d->colorSpace = colorSpace;
      d->owned.resize( numberOfChannels );
      d->channels.resize( numberOfChannels );
      for ( int c = 0; c < numberOfChannels; ++c )
      {
         const size_t count = size_t( width ) * size_t( height );
         d->owned[c] = SampleBlock( count * sizeof( sample ), zero );
         d->channels[c] = static_cast<sample*>( d->owned[c].Get() );
      }
      m_data = std::move( d );
      ResetSelections();
   }

public:
   void FreeData()
   {
      m_data.reset();
      m_selection = Selection();
   }

   int Width() const noexcept { return m_data ? m_data->width : 0; }
   int Height() const noexcept { return m_data ? m_data->height : 0; }
   int NumberOfChannels() const noexcept { return m_data ? int( m_data->channels.size() ) : 0; }
   int NumberOfNominalChannels() const noexcept { return ColorSpace::NumberOfNominalChannels( ColorSpace() ); }
   int NumberOfAlphaChannels() const noexcept { return std::max( 0, NumberOfChannels() - NumberOfNominalChannels() ); }
   bool HasAlphaChannels() const noexcept { return NumberOfAlphaChannels() > 0; }
   int ColorSpace() const noexcept { return m_data ? m_data->colorSpace : ColorSpace::Gray; }
   bool IsColor() const noexcept { return ColorSpace() != ColorSpace::Gray; }
   bool IsEmpty() const noexcept { return NumberOfChannels() == 0 || Width() == 0 || Height() == 0; }
   size_t NumberOfPixels() const noexcept { return size_t( Width() ) * size_t( Height() ); }
   Rect Bounds() const noexcept { return Rect{ 0, 0, Width(), Height() }; }
   static constexpr int BitsPerSample() noexcept { return P::BitsPerSample(); }
   static constexpr bool IsFloatSample() noexcept { return P::IsFloatSample(); }

   // True when the pixels are a view's, shared with the host.
   bool IsHostImage() const noexcept { return m_data && m_data->view != nullptr; }
   // True when another image object shares these pixels.
   bool IsShared() const noexcept { return m_data && m_data.use_count() > 1; }

   // Sample at column x, row y of a channel; unchecked.
   sample& operator()( int x, int y, int channel = 0 ) noexcept
   {
      return m_data->channels[channel][size_t( y ) * size_t( m_data->width ) + size_t( x )];
   }
   const sample& operator()( int x, int y, int channel = 0 ) const noexcept
   {
      return m_data->channels[channel][size_t( y ) * size_t( m_data->width ) + size_t( x )];
   }

   sample* PixelData( int channel = 0 ) noexcept { return m_data->channels[channel]; }
   const sample* PixelData( int channel = 0 ) const noexcept { return m_data->channels[channel]; }
   sample* ScanLine( int y, int channel = 0 ) noexcept { return PixelData( channel ) + size_t( y ) * size_t( Width() ); }
   const sample* ScanLine( int y, int channel = 0 ) const noexcept { return PixelData( channel ) + size_t( y ) * size_t( Width() ); }

   // Makes the pixel data this image's own when another image shares it. A
   // host image stays the host's.
   void EnsureUnique()
   {
      if ( !m_data || IsHostImage() || m_data.use_count() == 1 )
         return;
      auto d = std::make_shared<Data>();
      d->width = m_data->width;
      d->height = m_data->height;
      d->colorSpace = m_data->colorSpace;
      const size_t count = NumberOfPixels();
      const int n = NumberOfChannels();
      d->owned.resize( n );
      d->channels.resize( n );
      for ( int c = 0; c < n; ++c )
      {
         d->owned[c] = SampleBlock( count * sizeof( sample ), false );
         d->channels[c] = static_cast<sample*>( d->owned[c].Get() );
         std::memcpy( d->channels[c], m_data->channels[c], count * sizeof( sample ) );
      }
      m_data = std::move( d );
   }

   // Selections: a rectangle and a range of channels.
   void SelectChannel( int c ) noexcept { SelectChannelRange( c, c ); }
   void SelectChannelRange( int first, int last ) noexcept
   {
      m_selection.firstChannel = std::clamp( std::min( first, last ), 0, std::max( 0, NumberOfChannels() - 1 ) );
      m_selection.lastChannel = std::clamp( std::max( first, last ), 0, std::max( 0, NumberOfChannels() - 1 ) );
   }
   void SelectRectangle( const Rect& r ) noexcept { m_selection.rect = Clip( r ); }
   void ResetSelections() noexcept
   {
      m_selection.rect = Bounds();
      m_selection.firstChannel = 0;
      m_selection.lastChannel = std::max( 0, NumberOfChannels() - 1 );
   }
   const Rect& SelectedRectangle() const noexcept { return m_selection.rect; }
   int FirstSelectedChannel() const noexcept { return m_selection.firstChannel; }
   int LastSelectedChannel() const noexcept { return m_selection.lastChannel; }

   // Fills the selection with a normalised value.
   void Fill( double value )
   {
      const sample v = P::ToSample( value );
      ForEachSelectedRow( Rect(), -1, -1, [v]( sample* row, int n ) { std::fill( row, row + n, v ); } );
   }

   // Adds or subtracts a normalised value. Integer samples clamp to their range.
   void Add( double value, const Rect& rect = Rect(), int firstChannel = -1, int lastChannel = -1 )
   {
      AddScaled( value, rect, firstChannel, lastChannel );
   }
   void Subtract( double value, const Rect& rect = Rect(), int firstChannel = -1, int lastChannel = -1 )
   {
      AddScaled( -value, rect, firstChannel, lastChannel );
   }

   // Clamps the selected samples to [lo, hi] (normalised; swapped if reversed).
   // NaN samples stay NaN.
   void Truncate( double lo = 0.0, double hi = 1.0 )
   {
      if ( hi < lo )
         std::swap( lo, hi );
      const sample l = P::ToSample( lo ), h = P::ToSample( hi );
      ForEachSelectedRow( Rect(), -1, -1, [l, h]( sample* row, int n ) {
         for ( int i = 0; i < n; ++i )
         {
            if ( row[i] < l )
               row[i] = l;
            else if ( row[i] > h )
               row[i] = h;
         }
      } );
   }

   // Multiplies the selected samples by k (integer samples through the
   // normalised range, rounded and clamped).
   void Multiply( double k )
   {
      ForEachSelectedRow( Rect(), -1, -1, [k]( sample* row, int n ) {
         for ( int i = 0; i < n; ++i )
            row[i] = P::ToSample( k * P::FromSample( row[i] ) );
      } );
   }

   // Adds another image's samples, as normalised values, at the same
   // coordinates within the selection.
   template <class P2>
   void AddImage( const GenericImage<P2>& other )
   {
      const GenericImage<P2> src( other );
      const Rect r = m_selection.rect;
      const int last = std::min( m_selection.lastChannel, src.NumberOfChannels() - 1 );
      const int x1 = std::min( r.x1, src.Width() ), y1 = std::min( r.y1, src.Height() );
      if ( x1 <= r.x0 || y1 <= r.y0 )
         return;
      EnsureUnique();
      for ( int c = m_selection.firstChannel; c <= last; ++c )
         for ( int y = r.y0; y < y1; ++y )
         {
            sample* t = ScanLine( y, c );
            const typename P2::sample* s = src.ScanLine( y, c );
            for ( int x = r.x0; x < x1; ++x )
               t[x] = P::ToSample( P::FromSample( t[x] ) + P2::FromSample( s[x] ) );
         }
   }

   // Adds margins: negative amounts remove columns or rows, positive ones add
   // zero samples. Replaces the pixel data; resets the selections.
   void CropBy( int left, int top, int right, int bottom )
   {
      const int w = Width() + left + right, h = Height() + top + bottom;
      if ( w <= 0 || h <= 0 )
      {
         AllocateData( 0, 0, NumberOfChannels(), ColorSpace() );
         return;
      }
      // A pure cut overwrites every sample: no need to zero them first.
      const bool cutOnly = left <= 0 && top <= 0 && right <= 0 && bottom <= 0;
      if ( cutOnly && !IsHostImage() && !IsShared() )
      {
         // Pixel data of our own: move the kept rows to the front of each
         // channel's block. A row never moves forward, so rows already moved
         // are never overwritten. Saves a second image's allocation and copy.
         const int W = Width();
         for ( int c = 0; c < NumberOfChannels(); ++c )
         {
            sample* p = PixelData( c );
            for ( int y = 0; y < h; ++y )
               std::memmove( p + size_t( y ) * w, p + size_t( y - top ) * W - left, size_t( w ) * sizeof( sample ) );
         }
         m_data->width = w;
         m_data->height = h;
         ResetSelections();
         return;
      }
      GenericImage<P> cropped;
      cropped.Allocate( w, h, NumberOfChannels(), ColorSpace(), !cutOnly );
      // Source columns and rows that land inside the new image.
      const int sx0 = std::max( 0, -left ), sx1 = std::min( Width(), w - left );
      const int sy0 = std::max( 0, -top ), sy1 = std::min( Height(), h - top );
      if ( sx1 > sx0 )
         for ( int c = 0; c < NumberOfChannels(); ++c )
            for ( int y = sy0; y < sy1; ++y )
               std::memcpy( cropped.ScanLine( y + top, c ) + ( sx0 + left ), ScanLine( y, c ) + sx0,
                            size_t( sx1 - sx0 ) * sizeof( sample ) );
      *this = cropped;
   }

   // Image status monitor: operations that take long report their progress
   // through its callback.
   StatusMonitor& Status() const noexcept { return m_status; }
   void SetStatusCallback( StatusCallback* callback ) const noexcept { m_status.SetCallback( callback ); }

   // Calls f( row, count ) for each row of the selected (or given) rectangle in
   // each selected (or given) channel, after making the data this image's own.
   template <typename F>
   void ForEachSelectedRow( const Rect& rect, int firstChannel, int lastChannel, F&& f )
   {
      if ( IsEmpty() )
         return;
      const Rect r = rect.IsRect() ? Clip( rect ) : m_selection.rect;
      if ( firstChannel < 0 )
         firstChannel = m_selection.firstChannel;
      if ( lastChannel < 0 )
         lastChannel = m_selection.lastChannel;
      lastChannel = std::min( lastChannel, NumberOfChannels() - 1 );
      if ( !r.IsRect() )
         return;
      EnsureUnique();
      for ( int c = firstChannel; c <= lastChannel; ++c )
         for ( int y = r.y0; y < r.y1; ++y )
            f( ScanLine( y, c ) + r.x0, r.Width() );
   }

   // Reads channel `channel` row by row; converts to false past the last sample.
   class const_sample_iterator
   {
   public:
      const_sample_iterator( const GenericImage& image, int channel )
         : m_image( image )
         , m_p( image.IsEmpty() ? nullptr : image.PixelData( channel ) )
         , m_end( m_p ? m_p + image.NumberOfPixels() : nullptr )
      {
      }
      explicit operator bool() const noexcept { return m_p < m_end; }
      const sample& operator*() const noexcept { return *m_p; }
      const_sample_iterator& operator++() noexcept { ++m_p; return *this; }

   private:
      GenericImage m_image; // keeps the pixels alive
      const sample* m_p;
      const sample* m_end;
   };

   // A copy in new pixel data that no other image (and not the host) shares,
   // with the same selections.
   static GenericImage OwnedCopy( const GenericImage& image )
   {
      GenericImage result;
      result.Allocate( image.Width(), image.Height(), image.NumberOfChannels(), image.ColorSpace(), false );
      for ( int c = 0; c < image.NumberOfChannels(); ++c )
         std::memcpy( result.PixelData( c ), image.PixelData( c ), image.NumberOfPixels() * sizeof( sample ) );
      result.m_selection = image.m_selection;
      return result;
   }

   // For cross-type operations: the identity of the shared data.
   const void* SharedData() const noexcept { return m_data.get(); }
   template <class P2>
   bool SharesDataWith( const GenericImage<P2>& other ) const noexcept
   {
      return static_cast<const void*>( m_data.get() ) == other.SharedData();
   }

private:
   template <class> friend class GenericImage;

   struct Data
   {
      int width = 0;
      int height = 0;
      int colorSpace = ColorSpace::Gray;
      std::vector<sample*> channels;
      std::vector<SampleBlock> owned; // empty for a host image
      host_view_handle view = nullptr;               // set for a host image

      void Adopt( const host_image_desc& desc )
      {
         width = desc.width;
         height = desc.height;
         colorSpace = desc.colorSpace;
         channels.assign( desc.numberOfChannels, nullptr );
         for ( int c = 0; c < desc.numberOfChannels; ++c )
            channels[c] = static_cast<sample*>( desc.channels[c] );
      }
   };

   struct Selection
   {
      Rect rect;
      int firstChannel = 0;
      int lastChannel = 0;
   };

   std::shared_ptr<Data> m_data;
   Selection m_selection;
   mutable StatusMonitor m_status;

   Rect Clip( const Rect& r ) const noexcept
   {
      return Rect{ std::clamp( std::min( r.x0, r.x1 ), 0, Width() ), std::clamp( std::min( r.y0, r.y1 ), 0, Height() ),
                   std::clamp( std::max( r.x0, r.x1 ), 0, Width() ), std::clamp( std::max( r.y0, r.y1 ), 0, Height() ) };
   }

   void AddScaled( double value, const Rect& rect, int firstChannel, int lastChannel )
   {
      const double v = value * double( P::MaxSampleValue() );
      // 8- and 16-bit samples have few enough values to add to each once: a
      // table lookup per sample gives the same result as the arithmetic.
      if constexpr ( !P::IsFloatSample() && sizeof( sample ) <= 2 )
      {
         std::vector<sample> table( size_t( P::MaxSampleValue() ) + 1 );
         for ( size_t s = 0; s < table.size(); ++s )
            table[s] = P::FromScaledValue( double( s ) + v );
         ForEachSelectedRow( rect, firstChannel, lastChannel, [&table]( sample* row, int n ) {
            for ( int i = 0; i < n; ++i )
               row[i] = table[row[i]];
         } );
      }
      else
         ForEachSelectedRow( rect, firstChannel, lastChannel, [v]( sample* row, int n ) {
            for ( int i = 0; i < n; ++i )
               row[i] = P::FromScaledValue( double( row[i] ) + v );
         } );
   }

   void ReallocateHostImage( int width, int height, int numberOfChannels, int colorSpace )
   {
      if ( width == Width() && height == Height() && numberOfChannels == NumberOfChannels() && colorSpace == ColorSpace() )
         return;
      m_data->Adopt( detail::AllocateHostImage( m_data->view, width, height, numberOfChannels, colorSpace,
                                                P::BitsPerSample(), P::IsFloatSample() ) );
      ResetSelections();
   }
};

// A copy of the image, in pixel data of its own, with its selected samples
// multiplied by k.
template <class P>
GenericImage<P> operator*( double k, const GenericImage<P>& image )
{
   GenericImage<P> result = GenericImage<P>::OwnedCopy( image );
   result.Multiply( k );
   return result;
}

// A copy of a, in pixel data of its own, plus b's samples as normalised values
// within a's selection.
template <class P1, class P2>
GenericImage<P1> operator+( const GenericImage<P1>& a, const GenericImage<P2>& b )
{
   GenericImage<P1> result = GenericImage<P1>::OwnedCopy( a );
   result.AddImage( b );
   return result;
}

} // pcl

#endif
