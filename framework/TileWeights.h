#ifndef VELQORA_TILE_WEIGHTS_H
#define VELQORA_TILE_WEIGHTS_H

#include "framework/Simd.h"
#include "framework/TileGeometry.h"

#include <array>
#include <vector>

namespace project_pelk
{

// The blending weights of whole tiles, row by row, for the accumulation's
// inner loops. A tile's weights depend on its origin only through whether it
// lies in the first or last tile column and in the first or last tile row, so
// each of those kinds of tile is computed once, with TileGeometry::Weight, and
// kept.
//
// When the stride is at least half the window a weight is the
// product of a factor of its column offset and a factor of its row offset:
// each ramp is a multiple of 1 / overlap, a corner multiplies two ramps, and
// everything else is 1. The product of the two factors, which are weights
// themselves, is then exactly the weight, so only the two factors are kept.
// Otherwise the whole table is.
class TileWeights
{
public:
   explicit TileWeights( SimdLevel level = ActiveSimdLevel() ) noexcept
      : m_level( level )
   {
   }

   // Chooses the tile with origin (tileX, tileY) for Row().
   void Select( const TileGeometry& geometry, int tileX, int tileY );

   // Row j of the chosen tile: element i is Weight( tileX, tileY, i, j ). The
   // pointer is valid until the next call.
   const double* Row( int j );

private:
   struct Kind
   {
      std::vector<double> columns, rows; // the two factors, when they suffice
      std::vector<double> table;         // element j * window + i, otherwise
   };

   SimdLevel m_level;
   TileGeometry m_geometry;
   std::array<Kind, 16> m_kinds;
   const Kind* m_kind = nullptr;
   std::vector<double> m_row;
};

} // project_pelk

#endif
