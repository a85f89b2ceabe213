#include "framework/TileWeights.h"

#include <cstddef>

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

// A row is made for every tile row, as often as the sums it weights: the
// compiler's vector code for it runs at the level chosen.
[[gnu::always_inline]] inline void Scale( const double* columns, double f, int n, double* row ) noexcept
{
   for ( int i = 0; i < n; ++i )
      row[i] = columns[i] * f;
}

} // namespace

void TileWeights::Select( const TileGeometry& geometry, int tileX, int tileY )
{
   if ( !SameGeometry( geometry, m_geometry ) )
   {
      m_geometry = geometry;
      m_kinds = {};
   }
   const int W = geometry.window;
   const int lastX = geometry.paddedWidth - W, lastY = geometry.paddedHeight - W;
   Kind& kind = m_kinds[( tileX == 0 ? 1 : 0 ) | ( tileX == lastX ? 2 : 0 ) | ( tileY == 0 ? 4 : 0 ) |
                        ( tileY == lastY ? 8 : 0 )];
   m_kind = &kind;
   if ( !kind.columns.empty() || !kind.table.empty() )
      return;
   if ( geometry.stride >= W / 2 )
   {
      // At the centre offset the other direction's factor is 1.
      const int h = W / 2;
      kind.columns.resize( W );
      kind.rows.resize( W );
      for ( int k = 0; k < W; ++k )
      {
         kind.columns[k] = geometry.Weight( tileX, tileY, k, h );
         kind.rows[k] = geometry.Weight( tileX, tileY, h, k );
      }
      m_row.resize( W );
   }
   else
   {
      kind.table.resize( std::size_t( W ) * std::size_t( W ) );
      for ( int j = 0; j < W; ++j )
         for ( int i = 0; i < W; ++i )
            kind.table[std::size_t( j ) * W + i] = geometry.Weight( tileX, tileY, i, j );
   }
}

const double* TileWeights::Row( int j )
{
   const int W = m_geometry.window;
   if ( !m_kind->table.empty() )
      return m_kind->table.data() + std::size_t( j ) * W;
   LoopAt<&Scale>( m_level, m_kind->columns.data(), m_kind->rows[j], W, m_row.data() );
   return m_row.data();
}

} // project_pelk
