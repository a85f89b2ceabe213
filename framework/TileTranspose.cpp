#include "framework/TileTranspose.h"

#include "framework/Avx512.h"

#include <cstdint>
#include <cstring>

namespace project_pelk
{

namespace
{

inline uint32_t NonFiniteBits( float v ) noexcept
{
   uint32_t bits;
   std::memcpy( &bits, &v, sizeof bits );
   return uint32_t( ( bits & 0x7f800000u ) == 0x7f800000u );
}

void RowsToColumnsScalar( const float* const* rows, int count, int n, float* columns, size_t stride ) noexcept
{
   for ( int i = 0; i < n; ++i )
      for ( int q = 0; q < count; ++q )
         columns[i * stride + q] = rows[q][i];
}

bool ColumnsToRowsScalar( const float* columns, size_t stride, int count, int n, float* const* rows ) noexcept
{
   uint32_t bad = 0;
   for ( int i = 0; i < n; ++i )
      for ( int q = 0; q < count; ++q )
      {
         const float v = columns[i * stride + q];
         bad |= NonFiniteBits( v );
         rows[q][i] = v;
      }
   return bad == 0;
}

typedef float v16sf __attribute__( ( vector_size( 64 ) ) );
typedef int32_t v16si __attribute__( ( vector_size( 64 ) ) );

// Transposes sixteen vectors of sixteen: afterwards a[r][c] is the former
// a[c][r]. Stage b swaps bit b of the row index with bit b of the column
// index, pairing rows r and r + 2^b with one two-source shuffle each.
[[gnu::target( "avx512f" )]] inline void Transpose16( v16sf ( &a )[16] ) noexcept
{
   // Element c of the first result takes element c of row r when bit b of c
   // is clear, else element c - 2^b of row r + 2^b (index 16 + ...); the
   // second result the other way round.
   const v16si first[4] = {
      { 0, 16, 2, 18, 4, 20, 6, 22, 8, 24, 10, 26, 12, 28, 14, 30 },
      { 0, 1, 16, 17, 4, 5, 20, 21, 8, 9, 24, 25, 12, 13, 28, 29 },
      { 0, 1, 2, 3, 16, 17, 18, 19, 8, 9, 10, 11, 24, 25, 26, 27 },
      { 0, 1, 2, 3, 4, 5, 6, 7, 16, 17, 18, 19, 20, 21, 22, 23 },
   };
   const v16si second[4] = {
      { 1, 17, 3, 19, 5, 21, 7, 23, 9, 25, 11, 27, 13, 29, 15, 31 },
      { 2, 3, 18, 19, 6, 7, 22, 23, 10, 11, 26, 27, 14, 15, 30, 31 },
      { 4, 5, 6, 7, 20, 21, 22, 23, 12, 13, 14, 15, 28, 29, 30, 31 },
      { 8, 9, 10, 11, 12, 13, 14, 15, 24, 25, 26, 27, 28, 29, 30, 31 },
   };
   // Unrolled whole, so that the sixteen vectors stay in registers.
#pragma GCC unroll 4
   for ( int b = 0; b < 4; ++b )
#pragma GCC unroll 16
      for ( int r = 0; r < 16; ++r )
         if ( ( r & ( 1 << b ) ) == 0 )
         {
            const v16sf x = __builtin_shuffle( a[r], a[r | ( 1 << b )], first[b] );
            const v16sf y = __builtin_shuffle( a[r], a[r | ( 1 << b )], second[b] );
            a[r] = x;
            a[r | ( 1 << b )] = y;
         }
}

[[gnu::target( "avx512f" )]] void RowsToColumns512( const float* const* rows, int count, int n, float* columns,
                                                   size_t stride ) noexcept
{
   const int whole = n & ~15;
   // Plain stores: the tensor is written and read again for every tile, so
   // it stays in the cache between tiles. Stores past the cache were slower.
   for ( int i0 = 0; i0 < whole; i0 += 16 )
      for ( int q0 = 0; q0 < count; q0 += 16 )
      {
         v16sf a[16];
#pragma GCC unroll 16
         for ( int k = 0; k < 16; ++k )
            std::memcpy( &a[k], rows[q0 + k] + i0, sizeof a[k] );
         Transpose16( a );
#pragma GCC unroll 16
         for ( int k = 0; k < 16; ++k )
            std::memcpy( columns + ( i0 + k ) * stride + q0, &a[k], sizeof a[k] );
      }
   if ( whole < n )
   {
      const float* rest[64];
      for ( int q = 0; q < count; ++q )
         rest[q] = rows[q] + whole;
      RowsToColumnsScalar( rest, count, n - whole, columns + whole * stride, stride );
   }
}

[[gnu::target( "avx512f" )]] bool ColumnsToRows512( const float* columns, size_t stride, int count, int n,
                                                   float* const* rows ) noexcept
{
   const int whole = n & ~15;
   const v16si exponent = v16si{} + 0x7f800000;
   v16si bad = v16si{};
   for ( int i0 = 0; i0 < whole; i0 += 16 )
      for ( int q0 = 0; q0 < count; q0 += 16 )
      {
         v16sf a[16];
#pragma GCC unroll 16
         for ( int k = 0; k < 16; ++k )
         {
            const float* p = columns + ( i0 + k ) * stride + q0;
            std::memcpy( &a[k], p, sizeof a[k] );
            bad |= ( ( v16si ) a[k] & exponent ) == exponent;
            // Each column is read a short run at a time, too many columns for
            // the processor to follow: the run after this one is asked for now.
            __builtin_prefetch( p + 2 * count );
         }
         Transpose16( a );
#pragma GCC unroll 16
         for ( int k = 0; k < 16; ++k )
            std::memcpy( rows[q0 + k] + i0, &a[k], sizeof a[k] );
      }
   bool finite = true;
   for ( int k = 0; k < 16; ++k )
      finite = finite && bad[k] == 0;
   if ( whole < n )
   {
      float* rest[64];
      for ( int q = 0; q < count; ++q )
         rest[q] = rows[q] + whole;
      finite = ColumnsToRowsScalar( columns + whole * stride, stride, count, n - whole, rest ) && finite;
   }
   return finite;
}

} // namespace

void RowsToColumns( const float* const* rows, int count, int n, float* columns, size_t stride ) noexcept
{
   if ( count % 16 == 0 && count <= 64 && HasAvx512() )
      RowsToColumns512( rows, count, n, columns, stride );
   else
      RowsToColumnsScalar( rows, count, n, columns, stride );
}

bool ColumnsToRows( const float* columns, size_t stride, int count, int n, float* const* rows ) noexcept
{
   if ( count % 16 == 0 && count <= 64 && HasAvx512() )
      return ColumnsToRows512( columns, stride, count, n, rows );
   return ColumnsToRowsScalar( columns, stride, count, n, rows );
}

} // project_pelk
