#include "framework/TileAccumulator.h"

#include "framework/TileSums.h"
#include "framework/TileTranspose.h"
#include "platform/core/Exception.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace project_pelk
{

namespace
{

// Tile rows taken together when the tensor (the rows of one tile column
// contiguous) is turned into image rows: for each tile column the tensor is
// read as one contiguous run of whole cache lines.
constexpr int RowBlock = 16;

// Band rows are padded so that the rows of one block do not all fall into
// the same cache sets.
constexpr int RowPadding = 16;

} // namespace

TileAccumulator::TileAccumulator( const TileGeometry& geometry, int channels, Consumer consumer )
   : m_geometry( geometry )
   , m_channels( channels )
   , m_consumer( std::move( consumer ) )
{
   const TileGeometry& g = m_geometry;
   const int W = g.window;
   m_m0 = std::max( 0, g.margin - g.stride / 2 );
   m_end = W - m_m0;
   m_tileColumns = ( g.paddedWidth - W ) / g.stride + 1;
   m_tileRows = ( g.paddedHeight - W ) / g.stride + 1;
   m_pitch = size_t( W ) + RowPadding;
   // Only what a tile stores is read back by a later one: no need to zero.
   m_band = pcl::SampleBlock( size_t( channels ) * size_t( g.height ) * m_pitch * sizeof( float ), false );
   m_rows.resize( size_t( RowBlock ) * 3 * m_pitch );
   m_finished.resize( size_t( RowBlock ) * size_t( channels ) * m_pitch );

   // The right pad mirrors columns [width - padRight, width); those that
   // earlier tile columns finish are kept back for the end.
   m_tailX0 = g.width - g.padRight;
   m_tailX1 = std::max( m_tailX0, ( m_tileColumns - 1 ) * g.stride - g.padLeft );
   m_tail.resize( size_t( channels ) * size_t( g.height ) * size_t( m_tailX1 - m_tailX0 ) );
}

bool TileAccumulator::Add( const float* slot, int index )
{
   if ( index != m_next )
      throw pcl::Error( pcl::String::Format( "Tile %d accumulated out of order: tile %d expected.", index, m_next ) );
   const TileGeometry& g = m_geometry;
   const int W = g.window;
   const auto [x, y] = g.TileCoords( index );
   const int column = index / m_tileRows, row = index % m_tileRows;
   if ( column != m_column )
      StartColumn( column );
   m_weights.Select( g, x, y );

   // Band column k is image column m_bandX0 + k; only the image's own
   // columns and rows are accumulated, [lo, hi) in band columns.
   const int lo = std::max( m_m0, -m_bandX0 ), hi = std::min( m_end, g.width - m_bandX0 );
   const int carried = std::clamp( m_carriedEnd, lo, std::max( lo, hi ) );
   // The rows this tile finishes: those before the first row the next tile
   // of the column reads, except the rows the bottom pad mirrors; the
   // column's last tile finishes the rest.
   const int finishedRows =
      row == m_tileRows - 1
         ? g.height
         : std::clamp( std::min( y + g.stride - g.padTop, g.height - g.padBottom ), m_doneRows, g.height );
   // In those rows, band columns [done0, done1) are finished: their sums go
   // to the block buffer instead of the band. Columns before lo were
   // finished by the previous tile column.
   const int done0 = m_doneX0 - m_bandX0, done1 = m_doneX1 - m_bandX0;
   const int from = std::max( done0, lo );

   float* rows[RowBlock * 3];
   for ( int q = 0; q < RowBlock * 3; ++q )
      rows[q] = m_rows.data() + q * m_pitch + m_m0;
   for ( int j0 = m_m0; j0 < m_end; j0 += RowBlock )
   {
      const int n = std::min( RowBlock, m_end - j0 );
      if ( !ColumnsToRows( slot + ( size_t( m_m0 ) * W + j0 ) * 3, size_t( W ) * 3, n * 3, m_end - m_m0, rows ) )
         return false;
      const int blockY0 = y + j0 - g.padTop;
      for ( int r = 0; r < n && lo < hi; ++r )
      {
         const int imageY = blockY0 + r;
         if ( imageY < 0 || imageY >= g.height )
            continue;
         const double* w = m_weights.Row( j0 + r );
         // Rows already reached by an earlier tile of this column hold sums in
         // every column; the others only in the columns carried over.
         const int fresh = imageY < m_touchedRows ? hi : carried;
         const bool finishing = imageY < finishedRows;
         const float* s = m_rows.data() + size_t( r ) * 3 * m_pitch;
         for ( int c = 0; c < m_channels; ++c )
         {
            float* band = Band( c, imageY );
            // Sums that later tiles add to stay in the band.
            const int keep = finishing ? done1 : lo;
            Accumulate( band, s, c, w, keep, std::clamp( fresh, keep, hi ), hi );
            if ( !finishing )
               continue;
            float* finished = Finished( r, c );
            std::copy( band + done0, band + std::clamp( fresh, done0, done1 ), finished + done0 );
            Accumulate( finished, s, c, w, from, std::clamp( fresh, from, done1 ), done1 );
         }
      }
      Finish( std::min( finishedRows, blockY0 + n ), blockY0, blockY0 + n );
   }

   m_touchedRows = std::max( m_touchedRows, std::min( g.height, y + m_end - g.padTop ) );
   ++m_next;
   Finish( finishedRows, 0, 0 );
   if ( m_next == g.tileCount )
   {
      const size_t width = size_t( m_tailX1 - m_tailX0 );
      Emit( m_tailX0, m_tailX1, 0, g.height, m_tail.data(), width, size_t( g.height ) * width );
   }
   return true;
}

void TileAccumulator::Accumulate( float* sums, const float* s, int c, const double* w, int from, int fresh,
                                  int to ) noexcept
{
   if ( from >= to )
      return;
   if ( m_channels == 1 )
      AccumulateGrayRow( sums, s, s + m_pitch, s + 2 * m_pitch, w, from, fresh, to );
   else
      AccumulateRow( sums, s + c * m_pitch, w, from, fresh, to );
}

void TileAccumulator::StartColumn( int column )
{
   const TileGeometry& g = m_geometry;
   const int S = g.stride;
   if ( m_column >= 0 )
   {
      // The columns that the new tile column shares with the last one move
      // to the front of the band, with the finished ones it still reads.
      const int kept = m_end - S;
      if ( kept > 0 )
         for ( int c = 0; c < m_channels; ++c )
            for ( int y = 0; y < g.height; ++y )
            {
               float* row = Band( c, y );
               std::memmove( row, row + S, size_t( kept ) * sizeof( float ) );
            }
      m_carriedEnd = std::max( 0, kept );
   }
   else
      m_carriedEnd = 0;
   m_column = column;
   m_bandX0 = column * S - g.padLeft;
   m_touchedRows = 0;
   // The columns this tile column finishes: those before the first column
   // the next tile column reads, or all that are left.
   m_doneX0 = std::max( 0, m_bandX0 );
   m_doneX1 = column == m_tileColumns - 1 ? g.width : std::clamp( m_bandX0 + S, m_doneX0, g.width );
   m_doneRows = 0;
}

void TileAccumulator::Finish( int y1, int blockY0, int blockY1 )
{
   // Rows before the block's come from the band, the block's from the block
   // buffer.
   const size_t bandChannel = size_t( m_geometry.height ) * m_pitch;
   const int bandEnd = std::min( y1, std::max( m_doneRows, blockY0 ) );
   if ( m_doneRows < bandEnd )
      Hand( m_doneRows, bandEnd, Band( 0, m_doneRows ) - m_bandX0, m_pitch, bandChannel );
   const int blockEnd = std::min( y1, blockY1 );
   if ( m_doneRows < blockEnd )
      Hand( m_doneRows, blockEnd, Finished( m_doneRows - blockY0, 0 ) - m_bandX0, m_channels * m_pitch, m_pitch );
   if ( m_doneRows < y1 )
      Hand( m_doneRows, y1, Band( 0, m_doneRows ) - m_bandX0, m_pitch, bandChannel );
}

void TileAccumulator::Hand( int y0, int y1, const float* image, size_t rowPitch, size_t channelPitch )
{
   m_doneRows = y1;
   if ( m_column == m_tileColumns - 1 )
   {
      Emit( m_doneX0, m_doneX1, y0, y1, image + m_doneX0, rowPitch, channelPitch );
      return;
   }
   Emit( m_doneX0, std::min( m_doneX1, m_tailX0 ), y0, y1, image + m_doneX0, rowPitch, channelPitch );
   // Kept back: the last tile columns read these through the right pad.
   const int k0 = std::max( m_doneX0, m_tailX0 );
   const size_t tailWidth = size_t( m_tailX1 - m_tailX0 );
   if ( k0 < m_doneX1 )
      for ( int c = 0; c < m_channels; ++c )
         for ( int y = y0; y < y1; ++y )
         {
            const float* from = image + c * channelPitch + size_t( y - y0 ) * rowPitch;
            std::copy( from + k0, from + m_doneX1,
                       m_tail.data() + ( size_t( c ) * m_geometry.height + y ) * tailWidth + ( k0 - m_tailX0 ) );
         }
}

void TileAccumulator::Emit( int x0, int x1, int y0, int y1, const float* data, size_t rowPitch, size_t channelPitch )
{
   if ( x0 < x1 && y0 < y1 )
      m_consumer( FinishedColumns{ x0, x1, y0, y1, data, rowPitch, channelPitch } );
}

} // project_pelk
