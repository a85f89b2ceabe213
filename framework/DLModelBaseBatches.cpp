#include "framework/DLModelBase.h"

#include "framework/FiniteCheck.h"
#include "platform/core/Exception.h"

#include <algorithm>
#include <cmath>

namespace pcl
{

namespace
{

// Rows of a tile taken together when it is moved between the image (rows
// contiguous) and the tensor (the rows of one column contiguous): the image
// is read or written as a few sequential streams, and the tensor as short
// contiguous runs, one per tile column.
constexpr int RowBlock = 4;

// Tile columns accumulated together: the block's output samples and tensor
// elements (about 1 MB for RGB) stay in cache between the finiteness check
// and the accumulation that follows it.
constexpr int ColumnBlock = 64;

// Tensor element of channel c at offset (i, j) of slot b: the first spatial
// axis runs along the image's columns.
inline size_t TensorIndex( int b, int i, int j, int c, int W ) noexcept
{
   return ( ( size_t( b ) * size_t( W ) + size_t( i ) ) * size_t( W ) + size_t( j ) ) * 3 + size_t( c );
}

// Narrowed to float and clamped to [0, 1], as every partial sum is stored.
// Two selects rather than branches, so that a row of sums vectorises.
inline double StoredSum( double cur ) noexcept
{
   float f = float( cur );
   f = f < 0.0f ? 0.0f : f;
   f = f > 1.0f ? 1.0f : f;
   return double( f );
}

} // namespace

Array<float> DLModelBase::GetInputBatch( GenericImage<DoublePixelTraits>& padded, int start )
{
   const int W = windowSize;
   // Sized at once and zeroed: slots past the last tile stay zero.
   Array<float> batch( size_t( batchSize ) * size_t( W ) * size_t( W ) * 3, 0.0f );
   float* out = batch.Begin();
   for ( int b = 0; b < batchSize; ++b )
   {
      if ( start + b >= tileCount )
         continue;
      const auto [x, y] = GetTileCoords( start + b );
      // Each element is a function of its own sample alone, so the order in
      // which they are filled does not matter.
      for ( int j0 = 0; j0 < W; j0 += RowBlock )
      {
         const int rows = std::min( RowBlock, W - j0 );
         const double* src[RowBlock][3];
         for ( int r = 0; r < rows; ++r )
            for ( int c = 0; c < 3; ++c )
               src[r][c] = padded.ScanLine( y + j0 + r, numberOfChannels == 1 ? 0 : c ) + x;
         for ( int i = 0; i < W; ++i )
         {
            float* o = out + TensorIndex( b, i, j0, 0, W );
            for ( int r = 0; r < rows; ++r )
               for ( int c = 0; c < 3; ++c )
                  o[r * 3 + c] = float( src[r][c][i] );
         }
      }
   }
   return batch;
}

void DLModelBase::WriteOutputBatch( GenericImage<DoublePixelTraits>& output, float* data, int start )
{
   const int W = windowSize;
   const int m0 = std::max( 0, margin - stride / 2 );
   const int end = W - m0;
   const double divisor = numberOfChannels == 1 ? 3.0 : 1.0;
   output.EnsureUnique();

   for ( int b = 0; b < batchSize && start + b < tileCount; ++b )
   {
      const int tile = start + b;
      const auto [x, y] = GetTileCoords( tile );

      // Tile columns from `from` to the end of the window, one sample at a
      // time in the defining order (column offset, row offset, channel):
      // an error is the first one met, and every sample before it keeps its
      // partial sum.
      auto accumulateInOrder = [&]( int from ) {
         for ( int i = from; i < end; ++i )
            for ( int j = m0; j < end; ++j )
               for ( int c = 0; c < 3; ++c )
               {
                  const int ch = numberOfChannels == 1 ? 0 : c;
                  const double w = GetWeight( x, y, i, j );
                  double& sample = output( x + i, y + j, ch );
                  double cur = sample;
                  const float s = data[TensorIndex( b, i, j, c, W )];
                  if ( !std::isfinite( s ) )
                     throw Error( String::Format( "Model output contains a non-finite sample at tile %d.", tile ) );
                  cur = cur + ( double( s ) * w ) / divisor;
                  if ( !std::isfinite( cur ) )
                     throw Error( String::Format( "Model output accumulation produced a non-finite sample at tile %d.",
                                                  tile ) );
                  sample = StoredSum( cur );
               }
      };

      // The defining order walks the tile column by column. Blocks of
      // columns are taken in that order; within a block the rows are walked
      // along their length, which reads and writes the image sequentially and
      // lets the sums run in vector registers. Only the order between
      // different pixels changes: each pixel's channel still receives its
      // additions in order (tiles in index order, a grayscale pixel's three
      // channels in order). The tile's weights are computed once for its kind
      // of tile.
      const double* tileWeights = weightTables.For( geometry, x, y );
      for ( int i0 = m0; i0 < end; i0 += ColumnBlock )
      {
         const int n = std::min( ColumnBlock, end - i0 );

         // A block whose tensor elements and output samples are all finite
         // cannot fail (the weights are finite and lie in [0, 1]). Any other
         // block, and what follows it, is taken in the defining order, so
         // that the error and the partial sums left behind are the same.
         bool finite = true;
         for ( int i = i0; i < i0 + n && finite; ++i )
            finite = !project_pelk::AnyNonFinite( data + TensorIndex( b, i, m0, 0, W ), size_t( end - m0 ) * 3 );
         for ( int c = 0; c < numberOfChannels && finite; ++c )
            for ( int j = m0; j < end && finite; ++j )
               finite = !project_pelk::AnyNonFinite( output.ScanLine( y + j, c ) + x + i0, size_t( n ) );
         if ( !finite )
         {
            accumulateInOrder( i0 );
            break;
         }

         for ( int j0 = m0; j0 < end; j0 += RowBlock )
         {
            const int rows = std::min( RowBlock, end - j0 );
            // The block's tensor elements, one contiguous run per row and
            // channel.
            float samples[RowBlock * 3][ColumnBlock];
            for ( int k = 0; k < n; ++k )
            {
               const float* s = data + TensorIndex( b, i0 + k, j0, 0, W );
               for ( int q = 0; q < rows * 3; ++q )
                  samples[q][k] = s[q];
            }
            for ( int r = 0; r < rows; ++r )
               for ( int c = 0; c < 3; ++c )
               {
                  double* row = output.ScanLine( y + j0 + r, numberOfChannels == 1 ? 0 : c ) + x + i0;
                  const float* s = samples[r * 3 + c];
                  const double* w = tileWeights + size_t( j0 + r ) * W + i0;
                  // Dividing by 1 changes no value, so RGB skips the division.
                  if ( numberOfChannels == 1 )
                     for ( int k = 0; k < n; ++k )
                        row[k] = StoredSum( row[k] + ( double( s[k] ) * w[k] ) / divisor );
                  else
                     for ( int k = 0; k < n; ++k )
                        row[k] = StoredSum( row[k] + double( s[k] ) * w[k] );
               }
         }
      }
   }
}

} // pcl
