#ifndef VELQORA_TILE_WEIGHTS_H
#define VELQORA_TILE_WEIGHTS_H

#include "framework/TileGeometry.h"

#include <array>
#include <vector>

namespace project_pelk
{

// The blending weights of whole tiles, for the accumulation's inner loops.
// A tile's weights depend on its origin only through whether it lies in the
// first or last tile column and in the first or last tile row, so each of
// those kinds of tile is computed once, with TileGeometry::Weight, and kept.
class TileWeights
{
public:
   // The weights of the tile with origin (tileX, tileY), row by row:
   // element j * window + i is Weight( tileX, tileY, i, j ).
   const double* For( const TileGeometry& geometry, int tileX, int tileY );

private:
   TileGeometry m_geometry;
   std::array<std::vector<double>, 16> m_tables;
};

} // project_pelk

#endif
