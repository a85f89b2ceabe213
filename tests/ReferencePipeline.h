#ifndef VELQORA_TESTS_REFERENCE_PIPELINE_H
#define VELQORA_TESTS_REFERENCE_PIPELINE_H

// Straightforward versions of the pipeline's steps: a padded 64-bit image,
// filled one sample at a time through the (x, y, channel) accessor, column by
// column; tiles cut out of it and accumulated into a padded 64-bit output
// with a weight per sample, nothing cached; crop, destretch, truncation and
// the strength mix as whole-image operations. The module reads the tiles
// from the source and accumulates them in a band of floats, handing on the
// finished part as it goes; tests compare it with these bit for bit.

#include "framework/DLModelBase.h"
#include "platform/core/Exception.h"

#include <cmath>
#include <cstring>
#include <random>

namespace reference
{

template <class P>
void FillPaddedImage( const pcl::DLModelBase& m, pcl::GenericImage<P>& image,
                      pcl::GenericImage<pcl::DoublePixelTraits>& padded )
{
   for ( int c = 0; c < m.numberOfChannels; ++c )
   {
      for ( int x = 0; x < m.width; ++x )
         for ( int y = 0; y < m.height; ++y )
            padded( m.padLeft + x, m.padTop + y, c ) = P::FromSample( image( x, y, c ) );
      for ( int i = 0; i < m.padLeft; ++i )
         for ( int y = 0; y < m.height; ++y )
            padded( m.padLeft - 1 - i, m.padTop + y, c ) = padded( m.padLeft + i, m.padTop + y, c );
      for ( int i = 0; i < m.padRight; ++i )
         for ( int y = 0; y < m.height; ++y )
            padded( m.paddedWidth - m.padRight + i, m.padTop + y, c ) =
               padded( m.paddedWidth - m.padRight - 1 - i, m.padTop + y, c );
      for ( int x = 0; x < m.paddedWidth; ++x )
         for ( int j = 0; j < m.padTop; ++j )
            padded( x, m.padTop - 1 - j, c ) = padded( x, m.padTop + j, c );
      for ( int x = 0; x < m.paddedWidth; ++x )
         for ( int j = 0; j < m.padBottom; ++j )
            padded( x, m.paddedHeight - m.padBottom + j, c ) = padded( x, m.paddedHeight - m.padBottom - 1 - j, c );
   }
}

inline pcl::Array<float> GetInputBatch( pcl::DLModelBase& m, pcl::GenericImage<pcl::DoublePixelTraits>& padded,
                                        int start )
{
   const int W = m.windowSize;
   pcl::Array<float> batch;
   for ( int b = 0; b < m.batchSize; ++b )
   {
      if ( start + b < m.tileCount )
      {
         const auto [x, y] = m.GetTileCoords( start + b );
         for ( int px = x; px < x + W; ++px )
            for ( int py = y; py < y + W; ++py )
               for ( int c = 0; c < 3; ++c )
                  batch.Add( float( padded( px, py, m.numberOfChannels == 1 ? 0 : c ) ) );
      }
      else
         for ( int k = 0; k < W * W * 3; ++k )
            batch.Add( 0.0f );
   }
   return batch;
}

inline void WriteOutputBatch( pcl::DLModelBase& m, pcl::GenericImage<pcl::DoublePixelTraits>& output,
                              const float* data, int start )
{
   const int W = m.windowSize;
   const int m0 = std::max( 0, m.margin - m.stride / 2 );
   const double divisor = m.numberOfChannels == 1 ? 3.0 : 1.0;
   for ( int b = 0; b < m.batchSize; ++b )
   {
      if ( start + b >= m.tileCount )
         break;
      const auto [x, y] = m.GetTileCoords( start + b );
      for ( int i = m0; i < W - m0; ++i )
         for ( int j = m0; j < W - m0; ++j )
            for ( int c = 0; c < 3; ++c )
            {
               const int ch = m.numberOfChannels == 1 ? 0 : c;
               const double w = m.GetWeight( x, y, i, j );
               double cur = output( x + i, y + j, ch );
               const float s = data[( ( size_t( b ) * W + i ) * W + j ) * 3 + c];
               if ( !std::isfinite( s ) )
                  throw pcl::Error(
                     pcl::String::Format( "Model output contains a non-finite sample at tile %d.", start + b ) );
               cur = cur + ( double( s ) * w ) / divisor;
               if ( !std::isfinite( cur ) )
                  throw pcl::Error( pcl::String::Format(
                     "Model output accumulation produced a non-finite sample at tile %d.", start + b ) );
               float f = float( cur );
               f = f < 0.0f ? 0.0f : ( f > 1.0f ? 1.0f : f );
               output( x + i, y + j, ch ) = double( f );
            }
   }
}

// The whole run after the image properties are read and the view's screen
// transfer functions are in m.stf: `network` turns each input batch, in
// place, into the network's output.
template <class P, class Network>
void Run( pcl::DLModelBase& m, pcl::GenericImage<P>& image, pcl::View& view, bool linear, double amount,
          Network&& network )
{
   using Double = pcl::GenericImage<pcl::DoublePixelTraits>;
   const pcl::GenericImage<P> original = pcl::GenericImage<P>::OwnedCopy( image );
   if ( linear )
      m.StretchImage( image, view );
   Double padded( m.paddedWidth, m.paddedHeight, image.ColorSpace() );
   Double output( m.paddedWidth, m.paddedHeight, image.ColorSpace() );
   FillPaddedImage( m, image, padded );
   for ( int start = 0; start < m.tileCount; start += m.batchSize )
   {
      pcl::Array<float> batch = GetInputBatch( m, padded, start );
      network( batch );
      WriteOutputBatch( m, output, batch.Begin(), start );
   }
   output.CropBy( -m.padLeft, -m.padTop, -m.padRight, -m.padBottom );
   if ( linear )
   {
      m.DeStretchImage( output );
      m.ValidateFiniteImage( output, "Velqora linear denoized image after destretch" );
   }
   image.ResetSelections();
   output.ResetSelections();
   output.Truncate( 0.0, 1.0 );
   const pcl::GenericImage<P> a = ( 1 - amount ) * ( linear ? original : image );
   const Double b = amount * output;
   const Double sum = b + a;
   image = sum;
}

// The system's configuration (window 512, batch 1, stride 480, the default
// automatic stretch) with the image's properties read.
template <class P>
pcl::DLModelBase SystemModel( pcl::GenericImage<P>& image )
{
   pcl::DLModelBase m;
   m.windowSize = 512;
   m.batchSize = 1;
   m.stride = 480;
   m.margin = 16;
   m.shadowsClipping = -2.8;
   m.targetBackground = 0.25;
   m.ReadImageProps( image, false );
   return m;
}

// Samples drawn uniformly from [lo, hi) and stored through the pixel traits.
template <class P>
void FillRandom( pcl::GenericImage<P>& image, double lo, double hi, unsigned seed )
{
   std::mt19937 rng( seed );
   std::uniform_real_distribution<double> u( lo, hi );
   for ( int c = 0; c < image.NumberOfChannels(); ++c )
      for ( int y = 0; y < image.Height(); ++y )
         for ( int x = 0; x < image.Width(); ++x )
            image( x, y, c ) = P::ToSample( u( rng ) );
}

template <class P = pcl::DoublePixelTraits>
pcl::GenericImage<P> RandomImage( int width, int height, int colorSpace, double lo, double hi, unsigned seed )
{
   pcl::GenericImage<P> image( width, height, colorSpace );
   FillRandom( image, lo, hi, seed );
   return image;
}

// Same geometry and the same bits in every sample.
inline bool SameBits( const pcl::GenericImage<pcl::DoublePixelTraits>& a,
                      const pcl::GenericImage<pcl::DoublePixelTraits>& b )
{
   if ( a.Width() != b.Width() || a.Height() != b.Height() || a.NumberOfChannels() != b.NumberOfChannels() )
      return false;
   for ( int c = 0; c < a.NumberOfChannels(); ++c )
      if ( std::memcmp( a.PixelData( c ), b.PixelData( c ), a.NumberOfPixels() * sizeof( double ) ) != 0 )
         return false;
   return true;
}

} // namespace reference

#endif
