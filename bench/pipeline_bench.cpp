// Times the steps that walk whole images: mirrored padding, the input batches
// and the output accumulation of every tile, stretch and destretch, crop and
// finiteness check, and the host's Median/MAD, for a 6000 × 4000 RGB 32-bit
// float image and a 6000 × 4000 16-bit grayscale image. `pipeline_bench
// statistics` times only the host's Median/MAD, for every sample format,
// against a memcpy of one channel. The padding, batch and
// accumulation steps are also timed in their straightforward form (one sample
// at a time, column by column, a weight per sample) for comparison. A memcpy
// of the same number of bytes as the data a step walks is the memory
// bandwidth reference for each ratio.
#include "../tests/ReferencePipeline.h"

#include "framework/DLModelBase.h"
#include "host/Host.h"
#include "platform/module/Host.h"
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
   host::View& hv = host.CreateView( "bench", width, height, channels, colorSpace, P::BitsPerSample(), P::IsFloatSample() );
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
   const size_t paddedBytes = size_t( m.paddedWidth ) * m.paddedHeight * channels * sizeof( double );
   const double copySource = CopySeconds( sourceBytes );
   const double copyPadded = CopySeconds( paddedBytes );
   std::printf( "  memcpy of the source image (%zu MB)          %9.1f ms\n", sourceBytes >> 20, copySource * 1e3 );
   std::printf( "  memcpy of a padded working image (%zu MB)    %9.1f ms\n", paddedBytes >> 20, copyPadded * 1e3 );

   // Statistics as the host computes them for a view whose image changed.
   const double stats = Seconds(
      [&] {
         hv.ImageChanged();
         hv.ComputeOrFetchProperty( "Median" );
      },
      1 );
   Report( "host Median and MAD", stats, copySource, "source" );

   view.GetScreenTransferFunctions( m.stf );
   const double stretch = Seconds( [&] { m.StretchImage( image, view ); }, 1 );
   Report( "StretchImage (automatic)", stretch, copySource, "source" );

   GenericImage<DoublePixelTraits> padded( m.paddedWidth, m.paddedHeight, colorSpace );
   GenericImage<DoublePixelTraits> expected( m.paddedWidth, m.paddedHeight, colorSpace );
   Report( "FillPaddedImage", Seconds( [&] { m.FillPaddedImage( image, padded ); } ), copyPadded, "padded" );
   Report( "FillPaddedImage, straightforward", Seconds( [&] { reference::FillPaddedImage( m, image, expected ); }, 1 ),
           copyPadded, "padded" );

   // One batch at a time, as the tile loop takes them.
   Report( "GetInputBatch, all tiles",
           Seconds( [&] {
              for ( int t = 0; t < m.tileCount; ++t )
              {
                 Array<float> batch = m.GetInputBatch( padded, t );
                 asm volatile( "" : : "r"( batch.Begin() ) : "memory" );
              }
           } ),
           copyPadded, "padded" );
   Report( "GetInputBatch, all tiles, straightforward",
           Seconds(
              [&] {
                 for ( int t = 0; t < m.tileCount; ++t )
                    reference::GetInputBatch( m, padded, t );
              },
              1 ),
           copyPadded, "padded" );

   // The network's output: the input fed back.
   std::vector<Array<float>> batches( m.tileCount );
   for ( int t = 0; t < m.tileCount; ++t )
      batches[t] = m.GetInputBatch( padded, t );
   GenericImage<DoublePixelTraits> output( m.paddedWidth, m.paddedHeight, colorSpace );
   Report( "WriteOutputBatch, all tiles",
           Seconds( [&] {
              output = 0.0;
              for ( int t = 0; t < m.tileCount; ++t )
                 m.WriteOutputBatch( output, batches[t].Begin(), t );
           } ),
           copyPadded, "padded" );
   expected = 0.0;
   Report( "WriteOutputBatch, all tiles, straightforward",
           Seconds(
              [&] {
                 for ( int t = 0; t < m.tileCount; ++t )
                    reference::WriteOutputBatch( m, expected, batches[t].Begin(), t );
              },
              1 ),
           copyPadded, "padded" );
   bool same = true;
   for ( int c = 0; c < channels; ++c )
      same = same && std::memcmp( output.PixelData( c ), expected.PixelData( c ), output.NumberOfPixels() * sizeof( double ) ) == 0;
   std::printf( "  (accumulations identical: %s)\n", same ? "yes" : "NO" );

   Report( "CropImage", Seconds( [&] { m.CropImage( output ); }, 1 ), copyPadded, "padded" );
   Report( "ValidateFiniteImage (64-bit output)",
           Seconds( [&] { m.ValidateFiniteImage( output, "Velqora linear denoized image after destretch" ); } ),
           copyPadded, "padded" );
   Report( "DeStretchImage (source)", Seconds( [&] { m.DeStretchImage( image ); }, 1 ), copySource, "source" );
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
