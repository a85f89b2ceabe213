#include "framework/TileTranspose.h"

#include <cstdint>
#include <cstring>

namespace project_pelk
{

namespace
{

// At most this many rows in one move (the 16 × 3 of a block of tile rows).
constexpr int MaxCount = 64;

inline uint32_t NonFiniteBits( float v ) noexcept
{
   uint32_t bits;
   std::memcpy( &bits, &v, sizeof bits );
   return uint32_t( ( bits & 0x7f800000u ) == 0x7f800000u );
}

void RowsToColumnsPortable( const float* const* rows, int count, int n, float* columns, size_t stride ) noexcept
{
   for ( int i = 0; i < n; ++i )
      for ( int q = 0; q < count; ++q )
         columns[i * stride + q] = rows[q][i];
}

bool ColumnsToRowsPortable( const float* columns, size_t stride, int count, int n, float* const* rows ) noexcept
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

// A square of Lanes vectors of Lanes floats, transposed in registers:
// afterwards a[r][c] is the former a[c][r].
struct Square8
{
   static constexpr int Lanes = 8;
   typedef float Vector __attribute__( ( vector_size( 32 ) ) );
   typedef __m256i Flags;

   // Marks the lanes of `a` that are NaN or infinite (every exponent bit set).
   [[VELQORA_TARGET_AVX2]] static void Mark( Flags& bad, const Vector& a ) noexcept
   {
      const __m256i exponent = _mm256_set1_epi32( 0x7f800000 );
      bad = _mm256_or_si256( bad, _mm256_cmpeq_epi32( _mm256_and_si256( __m256i( a ), exponent ), exponent ) );
   }
   [[VELQORA_TARGET_AVX2]] static bool Any( const Flags& bad ) noexcept { return !_mm256_testz_si256( bad, bad ); }

   // Interleaves pairs of rows, then pairs of pairs within each 128-bit half,
   // then swaps the halves.
   [[VELQORA_TARGET_AVX2]] static void Transpose( Vector ( &a )[8] ) noexcept
   {
      __m256 t[8], u[8];
      for ( int r = 0; r < 8; r += 2 )
      {
         t[r] = _mm256_unpacklo_ps( a[r], a[r + 1] );
         t[r + 1] = _mm256_unpackhi_ps( a[r], a[r + 1] );
      }
      for ( int r = 0; r < 8; r += 4 )
      {
         u[r] = _mm256_shuffle_ps( t[r], t[r + 2], 0x44 );
         u[r + 1] = _mm256_shuffle_ps( t[r], t[r + 2], 0xee );
         u[r + 2] = _mm256_shuffle_ps( t[r + 1], t[r + 3], 0x44 );
         u[r + 3] = _mm256_shuffle_ps( t[r + 1], t[r + 3], 0xee );
      }
      for ( int r = 0; r < 4; ++r )
      {
         a[r] = _mm256_permute2f128_ps( u[r], u[r + 4], 0x20 );
         a[r + 4] = _mm256_permute2f128_ps( u[r], u[r + 4], 0x31 );
      }
   }
};

struct Square16
{
   static constexpr int Lanes = 16;
   typedef float Vector __attribute__( ( vector_size( 64 ) ) );
   typedef int32_t Bits __attribute__( ( vector_size( 64 ) ) );
   typedef __mmask16 Flags;

   [[VELQORA_TARGET_AVX512]] static void Mark( Flags& bad, const Vector& a ) noexcept
   {
      const __m512i exponent = _mm512_set1_epi32( 0x7f800000 );
      bad |= _mm512_cmpeq_epi32_mask( _mm512_and_si512( __m512i( a ), exponent ), exponent );
   }
   static bool Any( const Flags& bad ) noexcept { return bad != 0; }

   // Stage b swaps bit b of the row index with bit b of the column index,
   // pairing rows r and r + 2^b with one two-source shuffle each.
   [[VELQORA_TARGET_AVX512]] static void Transpose( Vector ( &a )[16] ) noexcept
   {
      // Element c of the first result takes element c of row r when bit b of
      // c is clear, else element c - 2^b of row r + 2^b (index 16 + ...); the
      // second result the other way round.
      const Bits first[4] = {
         { 0, 16, 2, 18, 4, 20, 6, 22, 8, 24, 10, 26, 12, 28, 14, 30 },
         { 0, 1, 16, 17, 4, 5, 20, 21, 8, 9, 24, 25, 12, 13, 28, 29 },
         { 0, 1, 2, 3, 16, 17, 18, 19, 8, 9, 10, 11, 24, 25, 26, 27 },
         { 0, 1, 2, 3, 4, 5, 6, 7, 16, 17, 18, 19, 20, 21, 22, 23 },
      };
      const Bits second[4] = {
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
               const Vector x = __builtin_shuffle( a[r], a[r | ( 1 << b )], first[b] );
               const Vector y = __builtin_shuffle( a[r], a[r | ( 1 << b )], second[b] );
               a[r] = x;
               a[r | ( 1 << b )] = y;
            }
   }
};

// The moves square by square, the columns short of a whole square by the
// portable loop; compiled within each level's function below.
template <class Square>
[[gnu::always_inline]] inline void RowsToColumnsBy( const float* const* rows, int count, int n, float* columns,
                                                    size_t stride ) noexcept
{
   constexpr int L = Square::Lanes;
   const int whole = n - n % L;
   // Plain stores: the tensor is written and read again for every tile, so
   // it stays in the cache between tiles. Stores past the cache were slower.
   for ( int i0 = 0; i0 < whole; i0 += L )
      for ( int q0 = 0; q0 < count; q0 += L )
      {
         typename Square::Vector a[L];
#pragma GCC unroll 16
         for ( int k = 0; k < L; ++k )
            std::memcpy( &a[k], rows[q0 + k] + i0, sizeof a[k] );
         Square::Transpose( a );
#pragma GCC unroll 16
         for ( int k = 0; k < L; ++k )
            std::memcpy( columns + ( i0 + k ) * stride + q0, &a[k], sizeof a[k] );
      }
   if ( whole < n )
   {
      const float* rest[MaxCount];
      for ( int q = 0; q < count; ++q )
         rest[q] = rows[q] + whole;
      RowsToColumnsPortable( rest, count, n - whole, columns + whole * stride, stride );
   }
}

template <class Square>
[[gnu::always_inline]] inline bool ColumnsToRowsBy( const float* columns, size_t stride, int count, int n,
                                                    float* const* rows ) noexcept
{
   constexpr int L = Square::Lanes;
   const int whole = n - n % L;
   // Marked within the level's own code: the vector compare written here
   // would be taken apart lane by lane before it is inlined there.
   typename Square::Flags bad{};
   for ( int i0 = 0; i0 < whole; i0 += L )
      for ( int q0 = 0; q0 < count; q0 += L )
      {
         typename Square::Vector a[L];
#pragma GCC unroll 16
         for ( int k = 0; k < L; ++k )
         {
            const float* p = columns + ( i0 + k ) * stride + q0;
            std::memcpy( &a[k], p, sizeof a[k] );
            Square::Mark( bad, a[k] );
            // Each column is read a short run at a time, too many columns for
            // the processor to follow: the run after this one is asked for now.
            __builtin_prefetch( p + 2 * count );
         }
         Square::Transpose( a );
#pragma GCC unroll 16
         for ( int k = 0; k < L; ++k )
            std::memcpy( rows[q0 + k] + i0, &a[k], sizeof a[k] );
      }
   bool finite = !Square::Any( bad );
   if ( whole < n )
   {
      float* rest[MaxCount];
      for ( int q = 0; q < count; ++q )
         rest[q] = rows[q] + whole;
      finite = ColumnsToRowsPortable( columns + whole * stride, stride, count, n - whole, rest ) && finite;
   }
   return finite;
}

[[VELQORA_TARGET_AVX2]] void RowsToColumns8( const float* const* rows, int count, int n, float* columns,
                                             size_t stride ) noexcept
{
   RowsToColumnsBy<Square8>( rows, count, n, columns, stride );
}

[[VELQORA_TARGET_AVX512]] void RowsToColumns16( const float* const* rows, int count, int n, float* columns,
                                                size_t stride ) noexcept
{
   RowsToColumnsBy<Square16>( rows, count, n, columns, stride );
}

[[VELQORA_TARGET_AVX2]] bool ColumnsToRows8( const float* columns, size_t stride, int count, int n,
                                             float* const* rows ) noexcept
{
   return ColumnsToRowsBy<Square8>( columns, stride, count, n, rows );
}

[[VELQORA_TARGET_AVX512]] bool ColumnsToRows16( const float* columns, size_t stride, int count, int n,
                                                float* const* rows ) noexcept
{
   return ColumnsToRowsBy<Square16>( columns, stride, count, n, rows );
}

// The pair of moves that `level` makes with `count` rows: by squares of 16
// or 8 where the count is a multiple of either, else the portable loops.
struct Moves
{
   void ( *toColumns )( const float* const*, int, int, float*, size_t ) noexcept;
   bool ( *toRows )( const float*, size_t, int, int, float* const* ) noexcept;
};

Moves MovesFor( SimdLevel level, int count ) noexcept
{
   if ( count <= MaxCount && level == SimdLevel::Avx512 && count % 16 == 0 )
      return { RowsToColumns16, ColumnsToRows16 };
   if ( count <= MaxCount && level >= SimdLevel::Avx2 && count % 8 == 0 )
      return { RowsToColumns8, ColumnsToRows8 };
   return { RowsToColumnsPortable, ColumnsToRowsPortable };
}

} // namespace

void RowsToColumns( const float* const* rows, int count, int n, float* columns, size_t stride,
                    SimdLevel level ) noexcept
{
   MovesFor( level, count ).toColumns( rows, count, n, columns, stride );
}

bool ColumnsToRows( const float* columns, size_t stride, int count, int n, float* const* rows,
                    SimdLevel level ) noexcept
{
   return MovesFor( level, count ).toRows( columns, stride, count, n, rows );
}

} // project_pelk
