#ifndef VELQORA_TILE_GEOMETRY_H
#define VELQORA_TILE_GEOMETRY_H

#include <tuple>

namespace project_pelk
{

// How an image is cut into overlapping square tiles: the padded size, the four
// pads, where each tile lies and with which weight its output is blended.
// Coordinates are those of the padded image; tiles are numbered column by
// column (origin x outer, y inner).
struct TileGeometry
{
   int width = 0;
   int height = 0;
   int window = 0;
   int stride = 0;
   int margin = 0;
   int paddedWidth = 0;
   int paddedHeight = 0;
   int padLeft = 0;
   int padRight = 0;
   int padTop = 0;
   int padBottom = 0;
   int tileCount = 0;

   // Throws pcl::Error for a geometry the formulas cannot tile: window or
   // stride below 1, an odd window, or an odd window - stride.
   static TileGeometry ForImage( int width, int height, int window, int stride );

   // Origin (x, y) of tile `index`; (0, 0) for an index out of range.
   std::tuple<int, int> TileCoords( int index ) const noexcept;

   // Blending weight at offset (i, j) of the tile with origin (tileX, tileY).
   double Weight( int tileX, int tileY, int i, int j ) const noexcept;
};

} // project_pelk

#endif
