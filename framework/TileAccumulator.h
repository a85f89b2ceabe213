#ifndef VELQORA_TILE_ACCUMULATOR_H
#define VELQORA_TILE_ACCUMULATOR_H

#include "framework/TileGeometry.h"
#include "framework/TileWeights.h"
#include "platform/image/SampleBlock.h"

#include <cstddef>
#include <functional>
#include <vector>

namespace project_pelk
{

// Accumulated output of image columns [x0, x1) and rows [y0, y1) that no
// later tile changes: Row( c, y )[k] is channel c, image row y, image column
// x0 + k.
struct FinishedColumns
{
   int x0 = 0, x1 = 0, y0 = 0, y1 = 0;
   const float* data = nullptr; // channel 0, row y0, column x0
   size_t rowPitch = 0;
   size_t channelPitch = 0;

   const float* Row( int c, int y ) const noexcept
   {
      return data + c * channelPitch + size_t( y - y0 ) * rowPitch;
   }
};

// The network's output, weighted and added tile by tile as the model base's
// accumulation defines it (every partial sum narrowed to float and clamped to
// [0, 1] before the next is added), for the image's own pixels only: the pads
// are cropped away in the end, so nothing is added there.
//
// Tiles come column by column, so only the band of image columns under the
// current tile column is kept, in floats (every stored sum is a float). As
// soon as a tile is done, the part of the image that no later tile adds to or
// reads is handed to the consumer, while it is still in cache; the consumer
// may overwrite it in the image the tiles are read from. Parts that the
// bottom or right pad mirrors, which later tiles read again, are handed on
// after the last tile that reads them.
class TileAccumulator
{
public:
   using Consumer = std::function<void( const FinishedColumns& )>;

   // `channels` is the image's: 1 (grayscale, which receives the mean of the
   // three output channels) or 3.
   TileAccumulator( const TileGeometry& geometry, int channels, Consumer consumer );

   // Adds the output of tile `index`, laid out as one slot of the network's
   // tensor: element ( i * window + j ) * 3 + c is channel c at column offset
   // i, row offset j. Tiles come in index order, each once. Returns false when
   // a sample of the tile's accumulation window is not finite; nothing may be
   // added after that.
   bool Add( const float* slot, int index );

private:
   TileGeometry m_geometry;
   int m_channels;
   Consumer m_consumer;

   int m_m0, m_end;           // accumulation window of tile offsets [m0, end)
   int m_tileColumns, m_tileRows;
   size_t m_pitch;            // floats between band rows

   pcl::SampleBlock m_band;         // channel, image row, band column: sums later tiles add to
   std::vector<float> m_rows;       // rows of the tile's output, 3 per tile row
   std::vector<float> m_finished;   // tile row, channel, band column: finished sums of a block
   std::vector<float> m_tail; // columns the right pad mirrors, kept for the end
   int m_tailX0, m_tailX1;    // their image columns

   TileWeights m_weights;
   int m_next = 0;            // the tile expected next
   int m_column = -1;         // the tile column in the band
   int m_bandX0 = 0;          // the image column of band column 0
   int m_carriedEnd = 0;      // band columns before this hold sums of the previous tile column
   int m_touchedRows = 0;     // image rows before this hold sums of the current tile column
   int m_doneX0 = 0, m_doneX1 = 0; // image columns the current tile column finishes
   int m_doneRows = 0;        // image rows of those columns handed on so far

   float* Band( int c, int y ) noexcept
   {
      return static_cast<float*>( m_band.Get() ) + ( size_t( c ) * m_geometry.height + y ) * m_pitch;
   }
   float* Finished( int r, int c ) noexcept { return m_finished.data() + ( size_t( r ) * m_channels + c ) * m_pitch; }
   void Accumulate( float* sums, const float* s, int c, const double* w, int from, int fresh, int to ) noexcept;
   void StartColumn( int column );
   // Hands on the finished columns up to row y1; rows [blockY0, blockY1) are
   // in the block buffer.
   void Finish( int y1, int blockY0, int blockY1 );
   void Hand( int y0, int y1, const float* image, size_t rowPitch, size_t channelPitch );
   void Emit( int x0, int x1, int y0, int y1, const float* data, size_t rowPitch, size_t channelPitch );
};

} // project_pelk

#endif
