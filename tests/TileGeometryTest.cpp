// Tile grid: padded sizes, tile numbering and blending weights.
#include "framework/TileGeometry.h"
#include "platform/Exception.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

using project_pelk::TileGeometry;

namespace
{

struct GeometryCase
{
   int width, height;
   int paddedWidth, paddedHeight;
   int padRight, padBottom;
   int tileCount;
};

TEST( TileGeometry, SystemGeometryTable )
{
   const GeometryCase cases[] = {
      { 512, 512, 992, 992, 464, 464, 4 },
      { 960, 960, 992, 992, 16, 16, 4 },
      { 961, 961, 1472, 1472, 495, 495, 9 },
      { 1000, 700, 1472, 992, 456, 276, 6 },
      { 6000, 4000, 6272, 4352, 256, 336, 117 },
   };
   for ( const GeometryCase& c : cases )
   {
      SCOPED_TRACE( ::testing::Message() << c.width << "x" << c.height );
      TileGeometry g = TileGeometry::ForImage( c.width, c.height, 512, 480 );
      EXPECT_EQ( g.margin, 16 );
      EXPECT_EQ( g.paddedWidth, c.paddedWidth );
      EXPECT_EQ( g.paddedHeight, c.paddedHeight );
      EXPECT_EQ( g.padLeft, 16 );
      EXPECT_EQ( g.padTop, 16 );
      EXPECT_EQ( g.padRight, c.padRight );
      EXPECT_EQ( g.padBottom, c.padBottom );
      EXPECT_EQ( g.tileCount, c.tileCount );
   }
}

TEST( TileGeometry, DefaultIsAllZero )
{
   TileGeometry g;
   EXPECT_EQ( g.width + g.height + g.window + g.stride + g.margin + g.paddedWidth + g.paddedHeight + g.padLeft +
                 g.padRight + g.padTop + g.padBottom + g.tileCount,
              0 );
}

TEST( TileGeometry, TilesAreNumberedColumnByColumn )
{
   TileGeometry g = TileGeometry::ForImage( 1000, 700, 512, 480 );
   const std::tuple<int, int> expected[] = { { 0, 0 }, { 0, 480 }, { 480, 0 }, { 480, 480 }, { 960, 0 }, { 960, 480 } };
   for ( int k = 0; k < 6; ++k )
      EXPECT_EQ( g.TileCoords( k ), expected[k] ) << k;
   EXPECT_EQ( g.TileCoords( 6 ), std::make_tuple( 0, 0 ) );
   EXPECT_EQ( g.TileCoords( -1 ), std::make_tuple( 0, 0 ) );
}

TEST( TileGeometry, TileCoordsMatchesCountingThroughTheGrid )
{
   for ( int size : { 512, 961, 2000 } )
   {
      TileGeometry g = TileGeometry::ForImage( size, size + 333, 512, 480 );
      int k = 0;
      for ( int x = 0; x <= g.paddedWidth - g.window; x += g.stride )
         for ( int y = 0; y <= g.paddedHeight - g.window; y += g.stride, ++k )
            ASSERT_EQ( g.TileCoords( k ), std::make_tuple( x, y ) ) << k;
      EXPECT_EQ( k, g.tileCount );
   }
}

TEST( TileGeometry, WeightExamples )
{
   TileGeometry g = TileGeometry::ForImage( 1000, 700, 512, 480 );
   EXPECT_EQ( g.Weight( 0, 0, 0, 0 ), 1.0 );
   EXPECT_EQ( g.Weight( 480, 0, 0, 100 ), 0.0 );
   EXPECT_EQ( g.Weight( 480, 0, 16, 100 ), 0.5 );
   EXPECT_EQ( g.Weight( 0, 0, 496, 100 ), 0.5 );
   EXPECT_EQ( g.Weight( 960, 480, 511, 511 ), 1.0 );
   EXPECT_EQ( g.Weight( 480, 480, 256, 256 ), 1.0 );

   // Padded pixel (490, 490) under four tiles.
   EXPECT_EQ( g.Weight( 0, 0, 490, 490 ), 484.0 / 1024 );
   EXPECT_EQ( g.Weight( 0, 480, 490, 10 ), 220.0 / 1024 );
   EXPECT_EQ( g.Weight( 480, 0, 10, 490 ), 220.0 / 1024 );
   EXPECT_EQ( g.Weight( 480, 480, 10, 10 ), 100.0 / 1024 );
}

TEST( TileGeometry, WindowEqualToStrideWeighsOne )
{
   TileGeometry g = TileGeometry::ForImage( 1000, 700, 512, 512 );
   for ( int i : { 0, 1, 255, 256, 511 } )
      for ( int j : { 0, 7, 256, 511 } )
         EXPECT_EQ( g.Weight( 512, 0, i, j ), 1.0 );
}

// Sum of the weights each pixel receives, as the accumulation applies them.
std::vector<double> WeightSums( const TileGeometry& g, double* minWeight, double* maxWeight )
{
   std::vector<double> sum( size_t( g.paddedWidth ) * g.paddedHeight, 0.0 );
   const int m0 = std::max( 0, g.margin - g.stride / 2 );
   *minWeight = 1, *maxWeight = 0;
   for ( int k = 0; k < g.tileCount; ++k )
   {
      auto [x, y] = g.TileCoords( k );
      for ( int i = m0; i < g.window - m0; ++i )
         for ( int j = m0; j < g.window - m0; ++j )
         {
            double w = g.Weight( x, y, i, j );
            *minWeight = std::min( *minWeight, w );
            *maxWeight = std::max( *maxWeight, w );
            sum[size_t( y + j ) * g.paddedWidth + x + i] += w;
         }
   }
   return sum;
}

void ExpectPartitionOfUnity( int width, int height, int window, int stride, bool wholePaddedImage, bool exact )
{
   SCOPED_TRACE( ::testing::Message() << width << "x" << height << " window " << window << " stride " << stride );
   TileGeometry g = TileGeometry::ForImage( width, height, window, stride );
   double lo, hi;
   std::vector<double> sum = WeightSums( g, &lo, &hi );
   EXPECT_GE( lo, 0.0 );
   EXPECT_LE( hi, 1.0 );
   const int x0 = wholePaddedImage ? 0 : g.padLeft, x1 = wholePaddedImage ? g.paddedWidth : g.padLeft + width;
   const int y0 = wholePaddedImage ? 0 : g.padTop, y1 = wholePaddedImage ? g.paddedHeight : g.padTop + height;
   int bad = 0;
   for ( int y = y0; y < y1 && bad < 5; ++y )
      for ( int x = x0; x < x1 && bad < 5; ++x )
      {
         double s = sum[size_t( y ) * g.paddedWidth + x];
         bool ok = exact ? s == 1.0 : std::abs( s - 1.0 ) <= 4 * std::numeric_limits<double>::epsilon();
         if ( !ok )
         {
            ADD_FAILURE() << "sum " << s << " at padded pixel (" << x << ", " << y << ")";
            ++bad;
         }
      }
}

TEST( TileGeometry, PartitionOfUnityWithTheSystemGeometry )
{
   for ( auto [w, h] : { std::pair{ 512, 512 }, { 960, 960 }, { 961, 961 }, { 1000, 700 }, { 1500, 513 }, { 2000, 1441 } } )
      ExpectPartitionOfUnity( w, h, 512, 480, true, true );
}

TEST( TileGeometry, PartitionOfUnityInTheWideOverlapRegime )
{
   // Stride below half the window: ramps overlap over more than two tiles.
   for ( auto [w, h] : { std::pair{ 64, 64 }, { 100, 77 }, { 129, 200 } } )
   {
      ExpectPartitionOfUnity( w, h, 64, 16, false, false );
      ExpectPartitionOfUnity( w, h, 64, 24, false, false );
   }
}

TEST( TileGeometry, PartitionOfUnityWithOtherEvenGeometries )
{
   for ( auto [w, h] : { std::pair{ 64, 64 }, { 100, 77 }, { 129, 200 } } )
   {
      ExpectPartitionOfUnity( w, h, 64, 48, true, false );
      ExpectPartitionOfUnity( w, h, 64, 32, true, false );
      ExpectPartitionOfUnity( w, h, 64, 62, true, false );
   }
}

TEST( TileGeometry, RefusesGeometriesThatCannotTile )
{
   auto message = []( int window, int stride ) {
      try
      {
         TileGeometry::ForImage( 1000, 1000, window, stride );
      }
      catch ( const pcl::Error& e )
      {
         return e.Message().ToStdUTF8();
      }
      return std::string( "no error" );
   };
   EXPECT_EQ( message( 512, 0 ), "Invalid tile geometry: window 512 and stride 0 must be at least 1." );
   EXPECT_EQ( message( 0, 480 ), "Invalid tile geometry: window 0 and stride 480 must be at least 1." );
   EXPECT_EQ( message( 511, 479 ), "Invalid tile geometry: the window (511) must be even." );
   EXPECT_EQ( message( 512, 511 ), "Invalid tile geometry: window - stride (512 - 511) must be even." );
   EXPECT_EQ( message( 512, 477 ), "Invalid tile geometry: window - stride (512 - 477) must be even." );
}

} // namespace
