#ifndef PCL_HISTOGRAM_TRANSFORMATION_H
#define PCL_HISTOGRAM_TRANSFORMATION_H

#include "platform/image/GenericImage.h"
#include "platform/core/Parallel.h"

#include <algorithm>
#include <vector>

namespace pcl
{

// Shadows and highlights clipping, midtones transfer and dynamic range
// expansion, applied in that order to normalised sample values.
class HistogramTransformation
{
public:
   HistogramTransformation( double midtonesBalance = 0.5, double shadowsClipping = 0.0,
                            double highlightsClipping = 1.0, double rangeLow = 0.0, double rangeHigh = 1.0 ) noexcept;

   double MidtonesBalance() const noexcept { return m_m; }
   double ShadowsClipping() const noexcept { return m_c0; }
   double HighlightsClipping() const noexcept { return m_c1; }
   double LowRange() const noexcept { return m_r0; }
   double HighRange() const noexcept { return m_r1; }

   bool IsIdentityTransformation() const noexcept
   {
      return m_m == 0.5 && m_c0 == 0 && m_c1 == 1 && m_r0 == 0 && m_r1 == 1;
   }

   // The midtones transfer function: 0 for x <= 0 or NaN, 1 for x >= 1.
   static double MTF( double m, double x ) noexcept
   {
      if ( !( x > 0 ) )
         return 0;
      if ( x >= 1 )
         return 1;
      return ( m - 1 ) * x / ( ( 2 * m - 1 ) * x - m );
   }

   // One normalised value through the active stages.
   double Transform( double x ) const noexcept
   {
      if ( HasClipping() )
      {
         if ( x <= m_c0 )
            x = 0;
         else if ( x >= m_c1 )
            x = 1;
         else
            x = ( x - m_c0 ) / ( m_c1 - m_c0 );
      }
      if ( HasMTF() )
         x = MTF( m_m, x );
      if ( HasRange() )
         x = ( x - m_r0 ) / ( m_r1 - m_r0 );
      return x;
   }

   // Applies the transformation to the image's selected rectangle and
   // channels. Rows of samples computed one by one are shared among worker
   // threads; each sample's result is the same whatever the thread count.
   // Progress goes to the image's status monitor when it has a callback.
   template <class P>
   void Apply( GenericImage<P>& image ) const;

   template <class P>
   friend GenericImage<P>& operator>>( const HistogramTransformation& ht, GenericImage<P>& image )
   {
      ht.Apply( image );
      return image;
   }

private:
   double m_m, m_c0, m_c1, m_r0, m_r1;

   bool HasClipping() const noexcept { return m_c0 != 0 || m_c1 != 1; }
   bool HasMTF() const noexcept { return m_m != 0.5; }
   bool HasRange() const noexcept { return m_r0 != 0 || m_r1 != 1; }
};

template <class P>
void HistogramTransformation::Apply( GenericImage<P>& image ) const
{
   if ( image.IsEmpty() || !( HasClipping() || HasMTF() || HasRange() ) )
      return;
   const Rect r = image.SelectedRectangle();
   const int first = image.FirstSelectedChannel(), last = image.LastSelectedChannel();
   if ( !r.IsRect() )
      return;
   image.EnsureUnique();

   StatusMonitor& status = image.Status();
   const bool report = status.Callback() != nullptr;
   if ( report )
      status.Initialize( "Histogram transformation", size_t( last - first + 1 ) * size_t( r.Height() ) );

   using sample = typename P::sample;
   // 8- and 16-bit samples have few enough values to transform each once: a
   // table lookup per sample gives the same result as the arithmetic.
   constexpr bool useTable = !P::IsFloatSample() && sizeof( sample ) <= 2;
   std::vector<sample> table;
   if constexpr ( useTable )
   {
      table.resize( size_t( P::MaxSampleValue() ) + 1 );
      for ( size_t v = 0; v < table.size(); ++v )
         table[v] = P::ToSample( Transform( P::FromSample( sample( v ) ) ) );
   }

   // Rows in blocks, so that progress and an abort request are seen while a
   // large image is transformed.
   constexpr int blockRows = 256;
   for ( int c = first; c <= last; ++c )
      for ( int y0 = r.y0; y0 < r.y1; y0 += blockRows )
      {
         const int rows = std::min( blockRows, r.y1 - y0 );
         auto transform = [&]( size_t first, size_t end ) {
            for ( size_t k = first; k < end; ++k )
            {
               sample* row = image.ScanLine( y0 + int( k ), c );
               if constexpr ( useTable )
                  for ( int x = r.x0; x < r.x1; ++x )
                     row[x] = table[row[x]];
               else
                  for ( int x = r.x0; x < r.x1; ++x )
                     row[x] = P::ToSample( Transform( P::FromSample( row[x] ) ) );
            }
         };
         // A table lookup per sample goes as fast as memory on one thread:
         // more threads would add only their start-up.
         if constexpr ( useTable )
            transform( 0, size_t( rows ) );
         else
            ParallelFor( size_t( rows ), 16, transform );
         if ( report )
            status += size_t( rows );
      }
}

} // pcl

#endif
