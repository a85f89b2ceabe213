// Input batches in the network's tensor layout and the weighted accumulation
// of its output.
#include "ReferencePipeline.h"

#include "framework/DLModelBase.h"
#include "platform/Exception.h"

#include <gtest/gtest.h>

#include <cmath>
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

// Sample (x, y, c) holds a number that names it, exactly, even as a float.
double Label( int x, int y, int c )
{
   return ( ( x * 1024.0 + y ) * 4.0 + c ) / 16777216.0;
}

Image LabelledPadded( const DLModelBase& m, int colorSpace )
{
   Image padded( m.paddedWidth, m.paddedHeight, colorSpace );
   for ( int c = 0; c < padded.NumberOfChannels(); ++c )
      for ( int y = 0; y < m.paddedHeight; ++y )
         for ( int x = 0; x < m.paddedWidth; ++x )
            padded( x, y, c ) = Label( x, y, c );
   return padded;
}

Image RandomImage( int width, int height, int colorSpace, double lo, double hi, unsigned seed )
{
   Image image( width, height, colorSpace );
   std::mt19937 rng( seed );
   std::uniform_real_distribution<double> u( lo, hi );
   for ( int c = 0; c < image.NumberOfChannels(); ++c )
      for ( int y = 0; y < height; ++y )
         for ( int x = 0; x < width; ++x )
            image( x, y, c ) = u( rng );
   return image;
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


std::string Failure( DLModelBase& m, Image& output, std::vector<float>& data, int start )
{
   try
   {
      m.WriteOutputBatch( output, data.data(), start );
   }
   catch ( const Error& e )
   {
      return e.Message().ToStdUTF8();
   }
   return "accumulated";
}

std::string ReferenceFailure( DLModelBase& m, Image& output, std::vector<float>& data, int start )
{
   try
   {
      reference::WriteOutputBatch( m, output, data.data(), start );
   }
   catch ( const Error& e )
   {
      return e.Message().ToStdUTF8();
   }
   return "accumulated";
}

// ---------------------------------------------------------------------------
// GetInputBatch

TEST( GetInputBatch, FirstSpatialAxisRunsAlongColumns )
{
   DLModelBase m = ModelFor( 1000, 700, ColorSpace::RGB );
   Image padded = LabelledPadded( m, ColorSpace::RGB );
   Array<float> batch = m.GetInputBatch( padded, 3 ); // tile 3: origin (480, 480)
   ASSERT_EQ( batch.Length(), size_t( 512 ) * 512 * 3 );
   const float* t = batch.Begin();
   for ( int i : { 0, 1, 77, 511 } )
      for ( int j : { 0, 5, 300, 511 } )
         for ( int c = 0; c < 3; ++c )
            EXPECT_EQ( t[Index( m, 0, i, j, c )], float( Label( 480 + i, 480 + j, c ) ) ) << i << "," << j;

   // Read as a row-major height × width tensor, the tile appears transposed:
   // "row" 2, "column" 9 is the image's column 2, row 9.
   const size_t rowMajor = ( size_t( 2 ) * 512 + 9 ) * 3;
   EXPECT_EQ( t[rowMajor], float( Label( 480 + 2, 480 + 9, 0 ) ) );
   EXPECT_NE( t[rowMajor], float( Label( 480 + 9, 480 + 2, 0 ) ) );
}

TEST( GetInputBatch, MatchesTheStraightforwardLayoutForEveryTile )
{
   for ( int colorSpace : { ColorSpace::RGB, ColorSpace::Gray } )
   {
      DLModelBase m = ModelFor( 1000, 700, colorSpace, 512, 480, 4 );
      Image padded = RandomImage( m.paddedWidth, m.paddedHeight, colorSpace, -0.5, 1.5, 7 );
      for ( int start = 0; start < m.tileCount; start += m.batchSize )
      {
         Array<float> got = m.GetInputBatch( padded, start );
         Array<float> expected = reference::GetInputBatch( m, padded, start );
         ASSERT_EQ( got.Length(), expected.Length() );
         EXPECT_EQ( std::memcmp( got.Begin(), expected.Begin(), got.Size() ), 0 ) << "start " << start;
      }
   }
}

TEST( GetInputBatch, GrayscaleRepeatsTheChannelAndNarrowsToNearestFloat )
{
   DLModelBase m = ModelFor( 512, 512, ColorSpace::Gray );
   Image padded = RandomImage( m.paddedWidth, m.paddedHeight, ColorSpace::Gray, 0.0, 1.0, 3 );
   Array<float> batch = m.GetInputBatch( padded, 1 ); // origin (0, 480)
   const float* t = batch.Begin();
   for ( int i : { 0, 200, 511 } )
      for ( int j : { 0, 31, 511 } )
      {
         const float v = float( padded( i, 480 + j ) );
         for ( int c = 0; c < 3; ++c )
            EXPECT_EQ( t[Index( m, 0, i, j, c )], v );
      }
}

TEST( GetInputBatch, SlotsPastTheLastTileAreZero )
{
   DLModelBase m = ModelFor( 1000, 700, ColorSpace::RGB, 512, 480, 4 );
   ASSERT_EQ( m.tileCount, 6 );
   Image padded = RandomImage( m.paddedWidth, m.paddedHeight, ColorSpace::RGB, 0.1, 1.0, 5 );
   Array<float> batch = m.GetInputBatch( padded, 4 );
   ASSERT_EQ( batch.Length(), size_t( 4 ) * 512 * 512 * 3 );
   const float* t = batch.Begin();
   EXPECT_EQ( t[Index( m, 0, 0, 0, 0 )], float( padded( 960, 0, 0 ) ) );   // tile 4
   EXPECT_EQ( t[Index( m, 1, 0, 0, 0 )], float( padded( 960, 480, 0 ) ) ); // tile 5
   for ( size_t k = Index( m, 2, 0, 0, 0 ); k < batch.Length(); ++k )
      ASSERT_EQ( t[k], 0.0f ) << k;
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
   for ( size_t k = Index( m, 2, 0, 0, 0 ); k < data.size(); ++k )
      data[k] = std::numeric_limits<float>::quiet_NaN();
   EXPECT_EQ( Failure( m, output, data, 4 ), "accumulated" );
   reference::WriteOutputBatch( m, expected, data.data(), 4 );
   EXPECT_TRUE( reference::SameBits( output, expected ) );
   EXPECT_GT( output( 1471, 991, 0 ), 0.0 );
}

TEST( WriteOutputBatch, NonFiniteOutputNamesItsTileAndKeepsThePartialSums )
{
   DLModelBase m = ModelFor( 1000, 700, ColorSpace::RGB, 512, 480, 2 );
   const struct
   {
      int start, slot;
      float bad;
   } cases[] = {
      { 2, 1, std::numeric_limits<float>::quiet_NaN() },
      { 4, 0, std::numeric_limits<float>::infinity() },
      { 0, 1, -std::numeric_limits<float>::infinity() },
   };
   for ( const auto& k : cases )
   {
      Image output( m.paddedWidth, m.paddedHeight, ColorSpace::RGB );
      Image expected( m.paddedWidth, m.paddedHeight, ColorSpace::RGB );
      std::vector<float> data = RandomTensor( m, 0.0f, 1.0f, 31 );
      data[Index( m, k.slot, 300, 200, 1 )] = k.bad;
      const std::string message =
         "Model output contains a non-finite sample at tile " + std::to_string( k.start + k.slot ) + ".";
      EXPECT_EQ( Failure( m, output, data, k.start ), message );
      EXPECT_EQ( ReferenceFailure( m, expected, data, k.start ), message );
      EXPECT_TRUE( reference::SameBits( output, expected ) ) << "tile " << k.start + k.slot;
   }
}

TEST( WriteOutputBatch, NonFiniteSumNamesItsTile )
{
   DLModelBase m = ModelFor( 1000, 700, ColorSpace::Gray, 512, 480, 2 );
   Image output( m.paddedWidth, m.paddedHeight, ColorSpace::Gray );
   Image expected( m.paddedWidth, m.paddedHeight, ColorSpace::Gray );
   // Tile 1 (origin (0, 480)) adds into a pixel that already holds a NaN.
   output( 10, 900 ) = expected( 10, 900 ) = std::numeric_limits<double>::quiet_NaN();
   std::vector<float> data = RandomTensor( m, 0.0f, 1.0f, 41 );
   const std::string message = "Model output accumulation produced a non-finite sample at tile 1.";
   EXPECT_EQ( Failure( m, output, data, 0 ), message );
   EXPECT_EQ( ReferenceFailure( m, expected, data, 0 ), message );
   EXPECT_TRUE( reference::SameBits( output, expected ) );
}

TEST( WriteOutputBatch, TheFirstFailureInTileOrderDecidesTheMessage )
{
   DLModelBase m = ModelFor( 1000, 700, ColorSpace::RGB );
   // Column offset 5 comes before column offset 400 within a tile.
   for ( bool sumFirst : { true, false } )
   {
      Image output( m.paddedWidth, m.paddedHeight, ColorSpace::RGB );
      Image expected( m.paddedWidth, m.paddedHeight, ColorSpace::RGB );
      std::vector<float> data = RandomTensor( m, 0.0f, 1.0f, 51 );
      const int sumAt = sumFirst ? 5 : 400, sampleAt = sumFirst ? 400 : 5;
      output( sumAt, 3, 2 ) = expected( sumAt, 3, 2 ) = std::numeric_limits<double>::infinity();
      data[Index( m, 0, sampleAt, 450, 0 )] = std::numeric_limits<float>::quiet_NaN();
      const std::string message = sumFirst ? "Model output accumulation produced a non-finite sample at tile 0."
                                           : "Model output contains a non-finite sample at tile 0.";
      EXPECT_EQ( Failure( m, output, data, 0 ), message );
      EXPECT_EQ( ReferenceFailure( m, expected, data, 0 ), message );
      EXPECT_TRUE( reference::SameBits( output, expected ) );
   }
}

TEST( WriteOutputBatch, AnIdentityNetworkReproducesThePaddedImage )
{
   for ( int colorSpace : { ColorSpace::RGB, ColorSpace::Gray } )
   {
      DLModelBase m = ModelFor( 1000, 700, colorSpace );
      Image padded = RandomImage( m.paddedWidth, m.paddedHeight, colorSpace, 0.0, 1.0, 61 );
      Image output( m.paddedWidth, m.paddedHeight, colorSpace );
      for ( int start = 0; start < m.tileCount; start += m.batchSize )
      {
         Array<float> batch = m.GetInputBatch( padded, start );
         m.WriteOutputBatch( output, batch.Begin(), start );
      }
      double worst = 0;
      for ( int c = 0; c < output.NumberOfChannels(); ++c )
         for ( int y = 0; y < m.paddedHeight; ++y )
            for ( int x = 0; x < m.paddedWidth; ++x )
               worst = std::max( worst, std::abs( output( x, y, c ) - padded( x, y, c ) ) );
      EXPECT_LT( worst, 1e-6 ) << ( colorSpace == ColorSpace::RGB ? "RGB" : "Gray" );
   }
}

} // namespace
