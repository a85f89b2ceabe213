#include "framework/TileGeometry.h"

#include "platform/core/Exception.h"

#include <algorithm>

namespace project_pelk
{

namespace
{

int PaddedSize( int size, int stride, int margin )
{
   if ( size % stride == 0 )
      return size + 2 * margin;
   return ( size / stride + 1 ) * stride + 2 * margin;
}

} // namespace

TileGeometry TileGeometry::ForImage( int width, int height, int window, int stride )
{
   if ( window < 1 || stride < 1 )
      throw pcl::Error( pcl::String::Format( "Invalid tile geometry: window %d and stride %d must be at least 1.",
                                             window, stride ) );
   if ( window % 2 != 0 )
      throw pcl::Error( pcl::String::Format( "Invalid tile geometry: the window (%d) must be even.", window ) );
   if ( ( window - stride ) % 2 != 0 )
      throw pcl::Error( pcl::String::Format(
         "Invalid tile geometry: window - stride (%d - %d) must be even.", window, stride ) );

   TileGeometry g;
   g.width = width;
   g.height = height;
   g.window = window;
   g.stride = stride;
   g.margin = ( window - stride ) / 2;
   g.paddedWidth = PaddedSize( width, stride, g.margin );
   g.paddedHeight = PaddedSize( height, stride, g.margin );
   g.padLeft = g.margin;
   g.padTop = g.margin;
   g.padRight = g.paddedWidth - width - g.margin;
   g.padBottom = g.paddedHeight - height - g.margin;
   g.tileCount = ( ( g.paddedWidth - window ) / stride + 1 ) * ( ( g.paddedHeight - window ) / stride + 1 );
   return g;
}

std::tuple<int, int> TileGeometry::TileCoords( int index ) const noexcept
{
   // Same numbering as counting origins x outer, y inner, without the count.
   if ( index < 0 || index >= tileCount || stride < 1 || paddedWidth < window || paddedHeight < window )
      return { 0, 0 };
   const int rows = ( paddedHeight - window ) / stride + 1;
   return { ( index / rows ) * stride, ( index % rows ) * stride };
}

double TileGeometry::Weight( int tileX, int tileY, int i, int j ) const noexcept
{
   const int W = window, S = stride;
   if ( W == S )
      return 1.0;

   const int ov = 2 * margin;
   const int h = W / 2;
   const int di = std::min( i, W - i ), dj = std::min( j, W - j );
   const int lastX = paddedWidth - W, lastY = paddedHeight - W;

   if ( S >= h )
   {
      // Ramps of width ov on every side another tile overlaps; border sides
      // keep weight 1; corners take the product of their two ramps.
      const bool firstHalfX = di == i, firstHalfY = dj == j;
      if ( di > ov && dj > ov )
         return 1.0;
      if ( ( tileX == 0 && firstHalfX && dj >= ov ) || ( tileY == 0 && firstHalfY && di >= ov ) )
         return 1.0;
      if ( ( tileX == lastX && !firstHalfX && dj >= ov ) || ( tileY == lastY && !firstHalfY && di >= ov ) )
         return 1.0;
      if ( di <= ov && dj >= ov )
         return double( di ) / ov;
      if ( di >= ov && dj <= ov )
         return double( dj ) / ov;
      double w = 1.0;
      const bool borderX = ( tileX == 0 && firstHalfX ) || ( tileX == lastX && !firstHalfX );
      const bool borderY = ( tileY == 0 && firstHalfY ) || ( tileY == lastY && !firstHalfY );
      if ( !borderX )
         w *= double( di ) / ov;
      if ( !borderY )
         w *= double( dj ) / ov;
      return w;
   }

   const int t = S - h;
   if ( di < ov && dj > ov && !( tileX == 0 && i < h ) )
      return double( di + t ) / S;
   if ( dj < ov && di > ov && !( tileY == 0 && j < h ) )
      return double( dj + t ) / S;
   if ( tileX == lastX && i >= h && tileY != 0 && tileY != lastY )
      return double( dj + t ) / S;
   if ( tileY == lastY && j >= h && tileX != 0 && tileX != lastX )
      return double( di + t ) / S;
   double w = 1.0;
   if ( !( ( tileY == 0 && j < h ) || ( tileY == lastY && j >= h ) ) )
      w *= double( dj + t ) / S;
   if ( !( ( tileX == 0 && i < h ) || ( tileX == lastX && i >= h ) ) )
      w *= double( di + t ) / S;
   return w;
}

} // project_pelk
