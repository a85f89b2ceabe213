// Input batches in the network's tensor layout and the weighted accumulation
// of its output.
#include "ReferencePipeline.h"

#include "framework/DLModelBase.h"
#include "tests/ErrorOf.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

using namespace pcl;

namespace
{

using Image = GenericImage<DoublePixelTraits>;

DLModelBase ModelFor( int width, int height, int colorSpace, int window = 512, int stride = 480, int batch = 1 )
{
   DLModelBase m;
   m.windowSize = window;
   m.batchSize = batch;
   m.stride = stride;
   m.margin = ( window - stride ) / 2;
   GenericImage<FloatPixelTraits> image( width, height, colorSpace );
   m.ReadImageProps( image, false );
   return m;
}

std::vector<float> RandomTensor( const DLModelBase& m, float lo, float hi, unsigned seed )
{
   std::vector<float> data( size_t( m.batchSize ) * m.windowSize * m.windowSize * 3 );
   std::mt19937 rng( seed );
   std::uniform_real_distribution<float> u( lo, hi );
   for ( float& v : data )
      v = u( rng );
   return data;
}

std::vector<float> ConstantTensor( const DLModelBase& m, float value )
{
   return std::vector<float>( size_t( m.batchSize ) * m.windowSize * m.windowSize * 3, value );
}

size_t Index( const DLModelBase& m, int b, int i, int j, int c )
{
   const size_t W = m.windowSize;
   return ( ( b * W + i ) * W + j ) * 3 + c;
}

// Accumulates one batch with the module's code and with the reference into
// images of the same content; both must give the same error, if any, and the
// same bits.
void ExpectSameAccumulation( DLModelBase& m, Image& output, Image& expected, std::vector<float> data, int start,
                             const std::string& message )
{
   EXPECT_EQ( ErrorOf( [&] { m.WriteOutputBatch( output, data.data(), start ); } ), message );
   EXPECT_EQ( ErrorOf( [&] { reference::WriteOutputBatch( m, expected, data.data(), start ); } ), message );
   EXPECT_TRUE( reference::SameBits( output, expected ) ) << message;
}

// ---------------------------------------------------------------------------
// GetInputBatch

TEST( GetInputBatch, FirstSpatialAxisRunsAlongColumns )
{
   DLModelBase m = ModelFor( 1000, 700, ColorSpace::RGB );
   Image padded = reference::RandomImage( m.paddedWidth, m.paddedHeight, ColorSpace::RGB, 0.0, 1.0, 1 );
   Array<float> batch = m.GetInputBatch( padded, 3 ); // tile 3: origin (480, 480)
   ASSERT_EQ( batch.Length(), size_t( 512 ) * 512 * 3 );
   const float* t = batch.Begin();
   for ( int i : { 0, 1, 77, 511 } )
      for ( int j : { 0, 5, 300, 511 } )
         for ( int c = 0; c < 3; ++c )
            EXPECT_EQ( t[Index( m, 0, i, j, c )], float( padded( 480 + i, 480 + j, c ) ) ) << i << "," << j;

   // Read as a row-major height × width tensor, the tile appears transposed:
   // "row" 2, "column" 9 is the image's column 2, row 9.
   const size_t rowMajor = ( size_t( 2 ) * 512 + 9 ) * 3;
   EXPECT_EQ( t[rowMajor], float( padded( 480 + 2, 480 + 9, 0 ) ) );
   EXPECT_NE( t[rowMajor], float( padded( 480 + 9, 480 + 2, 0 ) ) );
}

// Grayscale repeats its channel; the last batch has two empty slots of zeros.
TEST( GetInputBatch, MatchesTheStraightforwardLayoutForEveryTile )
{
   for ( int colorSpace : { ColorSpace::RGB, ColorSpace::Gray } )
   {
      DLModelBase m = ModelFor( 1000, 700, colorSpace, 512, 480, 4 );
      Image padded = reference::RandomImage( m.paddedWidth, m.paddedHeight, colorSpace, -0.5, 1.5, 7 );
      for ( int start = 0; start < m.tileCount; start += m.batchSize )
      {
         Array<float> got = m.GetInputBatch( padded, start );
         Array<float> expected = reference::GetInputBatch( m, padded, start );
         ASSERT_EQ( got.Length(), expected.Length() );
         EXPECT_EQ( std::memcmp( got.Begin(), expected.Begin(), got.Size() ), 0 ) << "start " << start;
      }
      Array<float> last = m.GetInputBatch( padded, 4 );
      EXPECT_EQ( std::count( last.Begin() + Index( m, 2, 0, 0, 0 ), last.End(), 0.0f ), 2 * 512 * 512 * 3 );
   }
}

// ---------------------------------------------------------------------------
// WriteOutputBatch

TEST( WriteOutputBatch, EachPartialSumIsNarrowedAndClampedBeforeTheNext )
{
   DLModelBase m = ModelFor( 1000, 700, ColorSpace::RGB );
   Image output( m.paddedWidth, m.paddedHeight, ColorSpace::RGB );
   // Padded column 496, row 100: offset 496 of tile 0 and offset 16 of tile 2,
   // weight 0.5 in both.
   ASSERT_EQ( m.GetWeight( 0, 0, 496, 100 ), 0.5 );
   ASSERT_EQ( m.GetWeight( 480, 0, 16, 100 ), 0.5 );
   std::vector<float> minus = ConstantTensor( m, -0.2f );
   std::vector<float> plus = ConstantTensor( m, 0.8f );
   m.WriteOutputBatch( output, minus.data(), 0 );
   EXPECT_EQ( output( 496, 100, 1 ), 0.0 );
   m.WriteOutputBatch( output, plus.data(), 2 );
   EXPECT_EQ( output( 496, 100, 1 ), double( 0.4f ) ); // not 0.3

   Image saturated( m.paddedWidth, m.paddedHeight, ColorSpace::RGB );
   std::vector<float> big = ConstantTensor( m, 1.5f );
   m.WriteOutputBatch( saturated, big.data(), 0 );
   EXPECT_EQ( m.GetWeight( 0, 0, 100, 100 ), 1.0 );
   EXPECT_EQ( saturated( 100, 100, 2 ), 1.0 );
}

TEST( WriteOutputBatch, GrayscaleReceivesTheMeanOfTheThreeChannels )
{
   DLModelBase m = ModelFor( 512, 512, ColorSpace::Gray );
   Image output( m.paddedWidth, m.paddedHeight, ColorSpace::Gray );
   std::vector<float> data = ConstantTensor( m, 0.0f );
   data[Index( m, 0, 100, 100, 0 )] = 0.3f;
   data[Index( m, 0, 100, 100, 1 )] = 0.6f;
   data[Index( m, 0, 100, 100, 2 )] = 0.9f;
   m.WriteOutputBatch( output, data.data(), 0 );
   EXPECT_NEAR( output( 100, 100 ), 0.6, 1e-7 );
   // Three additions, each narrowed to float.
   double cur = 0;
   for ( float s : { 0.3f, 0.6f, 0.9f } )
      cur = double( float( cur + ( double( s ) * 1.0 ) / 3.0 ) );
   EXPECT_EQ( output( 100, 100 ), cur );
}

TEST( WriteOutputBatch, MatchesTheStraightforwardAccumulationBitForBit )
{
   struct Case
   {
      int width, height, colorSpace, window, stride, batch;
   };
   const Case cases[] = {
      { 1000, 700, ColorSpace::RGB, 512, 480, 1 },  // the system's geometry
      { 1000, 700, ColorSpace::Gray, 512, 480, 4 }, // an incomplete last batch
      { 100, 80, ColorSpace::RGB, 64, 48, 3 },      // ramps over 16 pixels
      { 100, 80, ColorSpace::Gray, 64, 24, 2 },     // stride below half the window
      { 70, 65, ColorSpace::RGB, 32, 32, 2 },       // no overlap
   };
   for ( const Case& k : cases )
   {
      DLModelBase m = ModelFor( k.width, k.height, k.colorSpace, k.window, k.stride, k.batch );
      Image output( m.paddedWidth, m.paddedHeight, k.colorSpace );
      Image expected( m.paddedWidth, m.paddedHeight, k.colorSpace );
      unsigned seed = 11;
      for ( int start = 0; start < m.tileCount; start += m.batchSize )
      {
         // Outside [0, 1] too, so that the clamps take part.
         std::vector<float> data = RandomTensor( m, -0.3f, 1.3f, seed++ );
         m.WriteOutputBatch( output, data.data(), start );
         reference::WriteOutputBatch( m, expected, data.data(), start );
      }
      EXPECT_TRUE( reference::SameBits( output, expected ) ) << k.width << "x" << k.height << " window " << k.window
                                                  << " stride " << k.stride;
   }
}

TEST( WriteOutputBatch, IgnoresSlotsPastTheLastTile )
{
   DLModelBase m = ModelFor( 1000, 700, ColorSpace::RGB, 512, 480, 4 );
   Image output( m.paddedWidth, m.paddedHeight, ColorSpace::RGB );
   Image expected( m.paddedWidth, m.paddedHeight, ColorSpace::RGB );
   std::vector<float> data = RandomTensor( m, 0.0f, 1.0f, 21 );
   // Slots 2 and 3 hold no tile; even a NaN there does not count.
   std::fill( data.begin() + Index( m, 2, 0, 0, 0 ), data.end(), std::numeric_limits<float>::quiet_NaN() );
   ExpectSameAccumulation( m, output, expected, data, 4, "no error" );
   EXPECT_GT( output( 1471, 991, 0 ), 0.0 );
}

// Both kinds of non-finite value name their tile, the partial sums written
// before them stay, and the first failure in tile order decides the message.
TEST( WriteOutputBatch, NonFiniteValuesNameTheirTileAndKeepThePartialSums )
{
   const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
   const std::string sample = "Model output contains a non-finite sample at tile ";
   const std::string sum = "Model output accumulation produced a non-finite sample at tile ";
   const struct
   {
      int colorSpace, batch, start;
      int slot, i, j; // a non-finite output sample, unless slot < 0
      float bad;
      int x, y; // an accumulated pixel that already is not finite, unless x < 0
      std::string message;
   } cases[] = {
      { ColorSpace::RGB, 2, 2, 1, 300, 200, nan, -1, 0, sample + "3." },
      { ColorSpace::RGB, 2, 4, 0, 300, 200, inf, -1, 0, sample + "4." },
      { ColorSpace::RGB, 2, 0, 1, 300, 200, -inf, -1, 0, sample + "1." },
      { ColorSpace::Gray, 2, 0, -1, 0, 0, 0, 10, 900, sum + "1." }, // tile 1, origin (0, 480)
      // Column offset 5 comes before column offset 400 within a tile; the
      // channels differ, so a traversal channel by channel meets them otherwise.
      { ColorSpace::RGB, 1, 0, 0, 400, 450, nan, 5, 3, sum + "0." },
      { ColorSpace::RGB, 1, 0, 0, 5, 450, nan, 400, 3, sample + "0." },
   };
   for ( const auto& k : cases )
   {
      DLModelBase m = ModelFor( 1000, 700, k.colorSpace, 512, 480, k.batch );
      Image output( m.paddedWidth, m.paddedHeight, k.colorSpace );
      Image expected( m.paddedWidth, m.paddedHeight, k.colorSpace );
      std::vector<float> data = RandomTensor( m, 0.0f, 1.0f, 31 );
      if ( k.slot >= 0 )
         data[Index( m, k.slot, k.i, k.j, 0 )] = k.bad;
      const int c = output.NumberOfChannels() - 1;
      if ( k.x >= 0 )
         output( k.x, k.y, c ) = expected( k.x, k.y, c ) = inf;
      ExpectSameAccumulation( m, output, expected, data, k.start, k.message );
   }
}

} // namespace
