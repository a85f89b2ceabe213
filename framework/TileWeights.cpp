#include "framework/TileWeights.h"

#include <cstring>

namespace project_pelk
{

namespace
{

bool SameGeometry( const TileGeometry& a, const TileGeometry& b )
{
   return a.width == b.width && a.height == b.height && a.window == b.window && a.stride == b.stride &&
          a.margin == b.margin && a.paddedWidth == b.paddedWidth && a.paddedHeight == b.paddedHeight &&
          a.padLeft == b.padLeft && a.padRight == b.padRight && a.padTop == b.padTop &&
          a.padBottom == b.padBottom && a.tileCount == b.tileCount;
}

} // namespace

const double* TileWeights::For( const TileGeometry& geometry, int tileX, int tileY )
{
   if ( !SameGeometry( geometry, m_geometry ) )
   {
      m_geometry = geometry;
      for ( std::vector<double>& table : m_tables )
         table.clear();
   }
   const int W = geometry.window;
   const int lastX = geometry.paddedWidth - W, lastY = geometry.paddedHeight - W;
   const int kind = ( tileX == 0 ? 1 : 0 ) | ( tileX == lastX ? 2 : 0 ) | ( tileY == 0 ? 4 : 0 ) |
                    ( tileY == lastY ? 8 : 0 );
   std::vector<double>& table = m_tables[kind];
   if ( table.empty() )
   {
      table.resize( size_t( W ) * size_t( W ) );
      for ( int j = 0; j < W; ++j )
         for ( int i = 0; i < W; ++i )
            table[size_t( j ) * W + i] = geometry.Weight( tileX, tileY, i, j );
   }
   return table.data();
}

} // project_pelk
