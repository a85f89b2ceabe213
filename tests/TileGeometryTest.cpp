// Tile grid: padded sizes, tile numbering and blending weights.
#include "framework/TileGeometry.h"
#include "framework/TileWeights.h"
#include "tests/ErrorOf.h"
#include "tests/SimdLevels.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

using project_pelk::TileGeometry;

namespace
{

TEST( TileGeometry, SystemGeometryTable )
{
   const std::array<int, 7> cases[] = { // width, height, padded width and height, right and bottom pads, tiles
      { 512, 512, 992, 992, 464, 464, 4 },
      { 960, 960, 992, 992, 16, 16, 4 },
      { 961, 961, 1472, 1472, 495, 495, 9 },
      { 1000, 700, 1472, 992, 456, 276, 6 },
      { 6000, 4000, 6272, 4352, 256, 336, 117 },
   };
   for ( const auto& c : cases )
   {
      const TileGeometry g = TileGeometry::ForImage( c[0], c[1], 512, 480 );
      EXPECT_EQ( ( std::array{ g.width, g.height, g.paddedWidth, g.paddedHeight, g.padRight, g.padBottom, g.tileCount } ), c );
      EXPECT_EQ( ( std::array{ g.margin, g.padLeft, g.padTop } ), ( std::array{ 16, 16, 16 } ) );
   }
}

// Column by column: the inner loop runs down a column of tiles.
TEST( TileGeometry, TilesAreNumberedColumnByColumn )
{
   for ( auto [w, h] : { std::pair{ 1000, 700 }, { 961, 1294 }, { 2000, 2333 } } )
   {
      const TileGeometry g = TileGeometry::ForImage( w, h, 512, 480 );
      int k = 0;
      for ( int x = 0; x <= g.paddedWidth - g.window; x += g.stride )
         for ( int y = 0; y <= g.paddedHeight - g.window; y += g.stride, ++k )
            ASSERT_EQ( g.TileCoords( k ), std::make_tuple( x, y ) ) << k;
      EXPECT_EQ( k, g.tileCount );
      EXPECT_EQ( g.TileCoords( k ), std::make_tuple( 0, 0 ) );
      EXPECT_EQ( g.TileCoords( -1 ), std::make_tuple( 0, 0 ) );
   }
}

TEST( TileGeometry, WeightExamples )
{
   const double cases[][5] = { // tile origin x, y, offset i, j, weight
      { 0, 0, 0, 0, 1 }, { 480, 0, 0, 100, 0 }, { 480, 0, 16, 100, 0.5 }, { 0, 0, 496, 100, 0.5 },
      { 960, 480, 511, 511, 1 }, { 480, 480, 256, 256, 1 },
      // Padded pixel (490, 490) under four tiles.
      { 0, 0, 490, 490, 484.0 / 1024 }, { 0, 480, 490, 10, 220.0 / 1024 }, { 480, 0, 10, 490, 220.0 / 1024 },
      { 480, 480, 10, 10, 100.0 / 1024 } };
   const TileGeometry g = TileGeometry::ForImage( 1000, 700, 512, 480 );
   for ( const auto& c : cases )
      EXPECT_EQ( g.Weight( int( c[0] ), int( c[1] ), int( c[2] ), int( c[3] ) ), c[4] )
         << c[0] << ", " << c[1] << " at " << c[2] << ", " << c[3];

   // Without overlap every weight is one.
   const TileGeometry flat = TileGeometry::ForImage( 1000, 700, 512, 512 );
   for ( int i : { 0, 1, 255, 256, 511 } )
      for ( int j : { 0, 7, 256, 511 } )
         EXPECT_EQ( flat.Weight( 512, 0, i, j ), 1.0 );
}

// The weights each pixel receives, as the accumulation applies them, lie in
// [0, 1] and sum to one (exactly, or within a few ulps).
void ExpectPartitionOfUnity( int width, int height, int window, int stride, bool wholePaddedImage, bool exact )
{
   SCOPED_TRACE( ::testing::Message() << width << "x" << height << " window " << window << " stride " << stride );
   TileGeometry g = TileGeometry::ForImage( width, height, window, stride );
   std::vector<double> sum( size_t( g.paddedWidth ) * g.paddedHeight, 0.0 );
   const int m0 = std::max( 0, g.margin - g.stride / 2 );
   for ( int k = 0; k < g.tileCount; ++k )
   {
      auto [x, y] = g.TileCoords( k );
      for ( int i = m0; i < g.window - m0; ++i )
         for ( int j = m0; j < g.window - m0; ++j )
         {
            const double w = g.Weight( x, y, i, j );
            ASSERT_TRUE( w >= 0.0 && w <= 1.0 ) << w;
            sum[size_t( y + j ) * g.paddedWidth + x + i] += w;
         }
   }
   const int x0 = wholePaddedImage ? 0 : g.padLeft, x1 = wholePaddedImage ? g.paddedWidth : g.padLeft + width;
   const int y0 = wholePaddedImage ? 0 : g.padTop, y1 = wholePaddedImage ? g.paddedHeight : g.padTop + height;
   for ( int y = y0; y < y1; ++y )
      for ( int x = x0; x < x1; ++x )
      {
         const double s = sum[size_t( y ) * g.paddedWidth + x];
         ASSERT_TRUE( exact ? s == 1.0 : std::abs( s - 1.0 ) <= 4 * std::numeric_limits<double>::epsilon() )
            << "sum " << s << " at padded pixel (" << x << ", " << y << ")";
      }
}

TEST( TileGeometry, PartitionOfUnity )
{
   // The system's geometry: exactly one over the whole padded image.
   for ( auto [w, h] : { std::pair{ 512, 512 }, { 960, 960 }, { 961, 961 }, { 1000, 700 }, { 1500, 513 }, { 2000, 1441 } } )
      ExpectPartitionOfUnity( w, h, 512, 480, true, true );
   for ( auto [w, h] : { std::pair{ 64, 64 }, { 100, 77 }, { 129, 200 } } )
   {
      for ( int stride : { 48, 32, 62 } )
         ExpectPartitionOfUnity( w, h, 64, stride, true, false );
      // Stride below half the window: ramps overlap over more than two tiles.
      for ( int stride : { 16, 24 } )
         ExpectPartitionOfUnity( w, h, 64, stride, false, false );
   }
}

TEST( TileGeometry, RefusesGeometriesThatCannotTile )
{
   auto message = []( int window, int stride ) { return ErrorOf( [=] { TileGeometry::ForImage( 1000, 1000, window, stride ); } ); };
   EXPECT_EQ( message( 512, 0 ), "Invalid tile geometry: window 512 and stride 0 must be at least 1." );
   EXPECT_EQ( message( 0, 480 ), "Invalid tile geometry: window 0 and stride 480 must be at least 1." );
   EXPECT_EQ( message( 511, 479 ), "Invalid tile geometry: the window (511) must be even." );
   EXPECT_EQ( message( 512, 477 ), "Invalid tile geometry: window - stride (512 - 477) must be even." );
}

TEST( TileWeights, EveryKindOfTileMatchesWeight )
{
   // Geometries with one tile column or row (a tile both first and last),
   // in both regimes, and the system's.
   const int geometries[][4] = { { 1000, 700, 512, 480 }, { 40, 100, 64, 48 }, { 100, 40, 64, 16 }, { 129, 200, 64, 24 } };
   for ( const auto level : SimdLevelsHere() )
      for ( const auto& k : geometries )
      {
         const TileGeometry g = TileGeometry::ForImage( k[0], k[1], k[2], k[3] );
         project_pelk::TileWeights weights( level );
         for ( int t = 0; t < g.tileCount; ++t )
         {
            const auto [x, y] = g.TileCoords( t );
            weights.Select( g, x, y );
            for ( int j = 0; j < g.window; ++j )
            {
               const double* row = weights.Row( j );
               for ( int i = 0; i < g.window; ++i )
                  ASSERT_EQ( row[i], g.Weight( x, y, i, j ) )
                     << project_pelk::SimdLevelName( level ) << ", " << k[0] << "x" << k[1] << " tile " << t << " at "
                     << i << ", " << j;
            }
         }
      }
}

} // namespace
