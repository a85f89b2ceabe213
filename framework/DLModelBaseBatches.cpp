#include "framework/DLModelBase.h"

#include "framework/Simd.h"
#include "framework/TileTranspose.h"
#include "platform/core/Exception.h"

#include <algorithm>
#include <cstring>
#include <type_traits>

namespace pcl
{

namespace
{

// Rows of a tile cut out together: the image is read as a few sequential
// streams, and each tile column of the tensor is written as one contiguous
// run of whole cache lines (16 rows of 3 floats).
constexpr int RowBlock = 16;

// Row buffers are padded so that the rows of one block do not all fall into
// the same cache sets.
constexpr int RowPadding = 16;

// The image index of padded index `q` counted from the image's first
// (negative before it): the mirror repeats the edge sample.
inline int Mirror( int q, int size ) noexcept
{
   return q < 0 ? -1 - q : ( q >= size ? 2 * size - 1 - q : q );
}

// Samples as the padded image holds them, 64-bit values, narrowed to float.
template <class P>
[[gnu::always_inline]] inline void ToFloats( const typename P::sample* s, int n, float* out ) noexcept
{
   for ( int i = 0; i < n; ++i )
      out[i] = float( P::FromSample( s[i] ) );
}

// Columns x0 .. x0 + n - 1 of a row of the padded image (x0 counted from the
// image's first column), from the image row `src` of `width` samples, as
// floats.
template <class P>
void PaddedRow( const typename P::sample* src, int width, int x0, int n, float* out ) noexcept
{
   int i = 0;
   for ( ; i < n && x0 + i < 0; ++i )
      out[i] = float( P::FromSample( src[-1 - ( x0 + i )] ) );
   const int inside = std::min( n, width - x0 );
   if ( i < inside )
   {
      project_pelk::LoopAt<&ToFloats<P>>( project_pelk::ActiveSimdLevel(), src + x0 + i, inside - i, out + i );
      i = inside;
   }
   for ( ; i < n; ++i )
      out[i] = float( P::FromSample( src[2 * width - 1 - ( x0 + i )] ) );
}

} // namespace

template <class P>
void DLModelBase::GetInputBatch( const GenericImage<P>& image, int start, float* batch )
{
   const int W = windowSize;
   const size_t pitch = size_t( W ) + RowPadding;
   const size_t slot = size_t( W ) * size_t( W ) * 3;
   inputRows.resize( size_t( RowBlock ) * size_t( numberOfChannels ) * pitch );
   for ( int b = 0; b < batchSize; ++b )
   {
      float* out = batch + b * slot;
      if ( start + b >= tileCount )
      {
         std::fill( out, out + slot, 0.0f );
         continue;
      }
      const auto [x, y] = GetTileCoords( start + b );
      const int x0 = x - padLeft;
      // A float row that the tile does not overrun is taken as it is: its
      // samples narrowed from 64 bits back to float are themselves.
      const bool inPlace = std::is_same_v<P, FloatPixelTraits> && x0 >= 0 && x0 + W <= width;
      // The image rows of a block are short runs far apart: those of the
      // next block are asked for while this one is cut.
      const int first = std::max( 0, x0 ), last = std::min( width, x0 + W );
      auto prefetch = [&]( int j0 ) {
         for ( int r = 0; r < RowBlock && j0 + r < W; ++r )
            for ( int c = 0; c < numberOfChannels; ++c )
            {
               const char* p = reinterpret_cast<const char*>( image.ScanLine( Mirror( y + j0 + r - padTop, height ), c ) );
               for ( size_t b = first * sizeof( typename P::sample ); b < last * sizeof( typename P::sample ); b += 64 )
                  __builtin_prefetch( p + b );
            }
      };
      prefetch( 0 );
      for ( int j0 = 0; j0 < W; j0 += RowBlock )
      {
         const int n = std::min( RowBlock, W - j0 );
         prefetch( j0 + RowBlock );
         // Element ( i, j, c ) is at ( i * W + j ) * 3 + c: tensor row
         // 3 * r + c of this block is row j0 + r of the tile's channel c, a
         // grayscale channel three times over.
         const float* rows[RowBlock * 3];
         for ( int r = 0; r < n; ++r )
         {
            const int sourceY = Mirror( y + j0 + r - padTop, height );
            for ( int c = 0; c < numberOfChannels; ++c )
            {
               const typename P::sample* source = image.ScanLine( sourceY, c );
               float* buffer = inputRows.data() + ( size_t( r ) * numberOfChannels + c ) * pitch;
               const float* row = buffer;
               if constexpr ( std::is_same_v<P, FloatPixelTraits> )
                  if ( inPlace )
                     row = source + x0;
               if ( row == buffer )
                  PaddedRow<P>( source, width, x0, W, buffer );
               for ( int k = c; k < 3; k += numberOfChannels )
                  rows[3 * r + k] = row;
            }
         }
         project_pelk::RowsToColumns( rows, 3 * n, W, out + size_t( j0 ) * 3, size_t( W ) * 3 );
      }
   }
}

void DLModelBase::WriteOutputBatch( project_pelk::TileAccumulator& output, const float* data, int start )
{
   const size_t slot = size_t( windowSize ) * size_t( windowSize ) * 3;
   for ( int b = 0; b < batchSize && start + b < tileCount; ++b )
      if ( !output.Add( data + b * slot, start + b ) )
         throw Error( String::Format( "Model output contains a non-finite sample at tile %d.", start + b ) );
}

#define INSTANTIATE( P ) template void DLModelBase::GetInputBatch<P>( const GenericImage<P>&, int, float* );
PCL_FOR_EACH_PIXEL_TYPE( INSTANTIATE )
#undef INSTANTIATE

} // pcl
