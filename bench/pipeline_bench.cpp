// Times the steps that walk whole images: the finiteness check, the host's
// Median/MAD and the stretch, the input batches of every tile and the
// accumulation of their output, for a 6000 × 4000 RGB 32-bit float image and
// a 6000 × 4000 16-bit grayscale image. `pipeline_bench statistics` times
// only the host's Median/MAD, for every sample format, against a memcpy of
// one channel. The batch and accumulation steps are also timed in their
// straightforward form (a padded 64-bit image filled one sample at a time,
// column by column, a weight per sample) for comparison. A memcpy of the
// source is the memory bandwidth reference for each ratio.
#include "../tests/ReferencePipeline.h"

#include "framework/DLModelBase.h"
#include "host/Host.h"
#include "host/HostApi.h"
#include "platform/boundary/HostBinding.h"
#include "platform/image/View.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

using namespace pcl;

namespace
{

template <typename F>
double Seconds( F&& f, int repeats = 3 )
{
   double best = 1e30;
   for ( int r = 0; r < repeats; ++r )
   {
      const auto t0 = std::chrono::steady_clock::now();
      f();
      const auto t1 = std::chrono::steady_clock::now();
      best = std::min( best, std::chrono::duration<double>( t1 - t0 ).count() );
   }
   return best;
}

double CopySeconds( size_t bytes )
{
   std::vector<char> a( bytes, 1 ), b( bytes, 0 );
   return Seconds( [&] { std::memcpy( b.data(), a.data(), bytes ); asm volatile( "" ::: "memory" ); } );
}

void Report( const char* step, double seconds, double reference, const char* against )
{
   std::printf( "  %-44s %9.1f ms   %6.2f x memcpy of %s\n", step, seconds * 1e3, seconds / reference, against );
}

template <class P>
void Run( const char* title, int colorSpace )
{
   constexpr int width = 6000, height = 4000;
   const int channels = colorSpace == ColorSpace::RGB ? 3 : 1;
   std::printf( "%s\n", title );

   host::Host host;
   BindHost( &host::ResolveHostFunction );
   host::View& hv = host.Windows().CreateView( "bench", width, height, channels, colorSpace, P::BitsPerSample(), P::IsFloatSample() );
   View view( hv.Handle() );
   ImageVariant variant = view.Image();
   GenericImage<P>& image = variant.Image<P>();
   {
      std::mt19937 rng( 1 );
      std::uniform_real_distribution<double> u( 0.0, 1.0 );
      for ( int c = 0; c < channels; ++c )
         for ( int y = 0; y < height; ++y )
         {
            typename P::sample* row = image.ScanLine( y, c );
            for ( int x = 0; x < width; ++x )
            {
               const double v = u( rng );
               row[x] = P::ToSample( 0.02 + 0.1 * v * v * v );
            }
         }
   }

   DLModelBase m = reference::SystemModel( image );

   const size_t sourceBytes = size_t( width ) * height * channels * sizeof( typename P::sample );
   const double copySource = CopySeconds( sourceBytes );
   std::printf( "  memcpy of the source image (%zu MB)          %9.1f ms\n", sourceBytes >> 20, copySource * 1e3 );

   // Statistics as the host computes them for a view whose image changed.
   const double stats = Seconds(
      [&] {
         hv.ImageChanged();
         hv.ComputeOrFetchProperty( "Median" );
      },
      1 );
   Report( "host Median and MAD", stats, copySource, "source" );
   Report( "ValidateFiniteImage (source)",
           Seconds( [&] { m.ValidateFiniteImage( image, "Velqora source image" ); } ), copySource, "source" );

   view.GetScreenTransferFunctions( m.stf );
   const double stretch = Seconds( [&] { m.StretchImage( image, view ); }, 1 );
   Report( "StretchImage (automatic)", stretch, copySource, "source" );

   // One batch at a time, as the tile loop takes them.
   const size_t slot = size_t( m.windowSize ) * m.windowSize * 3;
   std::vector<float> batch( slot );
   Report( "GetInputBatch, all tiles", Seconds( [&] {
              for ( int t = 0; t < m.tileCount; ++t )
              {
                 m.GetInputBatch( image, t, batch.data() );
                 asm volatile( "" : : "r"( batch.data() ) : "memory" );
              }
           } ),
           copySource, "source" );
   GenericImage<DoublePixelTraits> padded( m.paddedWidth, m.paddedHeight, colorSpace );
   Report( "GetInputBatch, all tiles, straightforward", Seconds( [&] {
              reference::FillPaddedImage( m, image, padded );
              for ( int t = 0; t < m.tileCount; ++t )
                 reference::GetInputBatch( m, padded, t );
           },
                                                                  1 ),
           copySource, "source" );

   // The network's output: the input fed back. The finished part is copied
   // into an image of the source's size, as the strength mix would read it.
   std::vector<std::vector<float>> batches( m.tileCount, std::vector<float>( slot ) );
   for ( int t = 0; t < m.tileCount; ++t )
      m.GetInputBatch( image, t, batches[t].data() );
   GenericImage<FloatPixelTraits> result( width, height, colorSpace );
   auto take = [&]( const project_pelk::FinishedColumns& f ) {
      for ( int c = 0; c < channels; ++c )
         for ( int y = f.y0; y < f.y1; ++y )
            std::memcpy( result.ScanLine( y, c ) + f.x0, f.Row( c, y ), size_t( f.x1 - f.x0 ) * sizeof( float ) );
   };
   Report( "WriteOutputBatch, all tiles", Seconds( [&] {
              project_pelk::TileAccumulator output( m.geometry, channels, take );
              for ( int t = 0; t < m.tileCount; ++t )
                 m.WriteOutputBatch( output, batches[t].data(), t );
           } ),
           copySource, "source" );
   GenericImage<DoublePixelTraits> expected( m.paddedWidth, m.paddedHeight, colorSpace );
   Report( "WriteOutputBatch, all tiles, straightforward, and crop", Seconds( [&] {
              for ( int t = 0; t < m.tileCount; ++t )
                 reference::WriteOutputBatch( m, expected, batches[t].data(), t );
              expected.CropBy( -m.padLeft, -m.padTop, -m.padRight, -m.padBottom );
           },
                                                                               1 ),
           copySource, "source" );
   bool same = true;
   for ( int c = 0; c < channels; ++c )
      for ( int y = 0; y < height; ++y )
         for ( int x = 0; x < width; ++x )
            same = same && double( result( x, y, c ) ) == expected( x, y, c );
   std::printf( "  (accumulations identical: %s)\n", same ? "yes" : "NO" );
   std::printf( "\n" );
   UnbindHost();
}

// The host's statistics of a 6000 x 4000 grayscale image: linear data, a dark
// skewed background with a few bright samples, as a view holds it.
template <class P>
void Statistics( const char* title )
{
   constexpr int width = 6000, height = 4000;
   host::View hv( "statistics", width, height, 1, ColorSpace::Gray, P::BitsPerSample(), P::IsFloatSample() );
   typename P::sample* s = hv.Samples<typename P::sample>( 0 );
   std::mt19937 rng( 1 );
   std::uniform_real_distribution<double> u( 0.0, 1.0 );
   for ( size_t i = 0; i < size_t( width ) * height; ++i )
   {
      const double v = u( rng );
      s[i] = P::ToSample( i % 997 == 0 ? v : 0.02 + 0.1 * v * v * v );
   }
   const double copy = CopySeconds( hv.BytesPerChannel() );
   const double stats = Seconds( [&] {
      hv.ImageChanged();
      hv.ComputeOrFetchProperty( "Median" );
   } );
   char step[64];
   std::snprintf( step, sizeof step, "host Median and MAD, %s", title );
   Report( step, stats, copy, "the channel" );
}

} // namespace

int main( int argc, char** argv )
{
   if ( argc == 2 && std::strcmp( argv[1], "statistics" ) == 0 )
   {
      std::printf( "6000 x 4000 grayscale\n" );
      Statistics<UInt8PixelTraits>( "8-bit" );
      Statistics<UInt16PixelTraits>( "16-bit" );
      Statistics<UInt32PixelTraits>( "32-bit" );
      Statistics<FloatPixelTraits>( "32-bit float" );
      Statistics<DoublePixelTraits>( "64-bit float" );
      return 0;
   }
   Run<FloatPixelTraits>( "6000 x 4000 RGB, 32-bit float", ColorSpace::RGB );
   Run<UInt16PixelTraits>( "6000 x 4000 grayscale, 16-bit integer", ColorSpace::Gray );
   return 0;
}
