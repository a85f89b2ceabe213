#include "framework/TileSums.h"

#include <algorithm>

namespace project_pelk
{

namespace
{

// Narrowed to float and clamped to [0, 1], as every partial sum is stored.
// Selects rather than branches, so that a row of sums vectorises.
inline float Stored( double cur ) noexcept
{
   float f = float( cur );
   f = f < 0.0f ? 0.0f : f;
   f = f > 1.0f ? 1.0f : f;
   return f;
}

[[gnu::always_inline]] inline void AddRow( float* sums, const float* s, const double* w, int from, int fresh,
                                           int to ) noexcept
{
   for ( int k = from; k < fresh; ++k )
      sums[k] = Stored( double( sums[k] ) + double( s[k] ) * w[k] );
   for ( int k = fresh; k < to; ++k )
      sums[k] = Stored( 0.0 + double( s[k] ) * w[k] );
}

void AddGrayPortable( float* sums, const float* s0, const float* s1, const float* s2, const double* w, int from,
                      int fresh, int to ) noexcept
{
   for ( int k = from; k < to; ++k )
   {
      double cur = k < fresh ? double( sums[k] ) : 0.0;
      cur = double( Stored( cur + ( double( s0[k] ) * w[k] ) / 3.0 ) );
      cur = double( Stored( cur + ( double( s1[k] ) * w[k] ) / 3.0 ) );
      sums[k] = Stored( cur + ( double( s2[k] ) * w[k] ) / 3.0 );
   }
}

// The vector loops below are written out: the compiler's own version of the
// portable loop keeps each clamp as compares and blends of doubles, about a
// third slower. vmaxps( 0, f ) is f < 0 ? 0 : f and vminps( 1, f ) is
// f > 1 ? 1 : f: a NaN and a negative zero stay as the selects leave them.

// Stored() on four sums, and one of a grayscale pixel's three additions.
[[VELQORA_TARGET_AVX2]] inline __m128 Stored4( __m256d cur ) noexcept
{
   const __m128 f = _mm256_cvtpd_ps( cur );
   return _mm_min_ps( _mm_set1_ps( 1.0f ), _mm_max_ps( _mm_setzero_ps(), f ) );
}

[[VELQORA_TARGET_AVX2]] inline __m128 AddThird4( __m128 cur, const float* s, __m256d w ) noexcept
{
   const __m256d weighted = _mm256_mul_pd( _mm256_cvtps_pd( _mm_loadu_ps( s ) ), w );
   return Stored4( _mm256_add_pd( _mm256_cvtps_pd( cur ), _mm256_div_pd( weighted, _mm256_set1_pd( 3.0 ) ) ) );
}

// Columns [from, to), four at a time, as far as whole fours go; the sums
// start from 0 unless `carried`. Returns the first column not done.
[[VELQORA_TARGET_AVX2]] inline int AddGray4s( float* sums, const float* s0, const float* s1, const float* s2,
                                              const double* w, int from, int to, bool carried ) noexcept
{
   int k = from;
   for ( ; to - k >= 4; k += 4 )
   {
      const __m256d wk = _mm256_loadu_pd( w + k );
      // A fresh sum is 0.0 + the first addition, as a zero float widened.
      __m128 cur = carried ? _mm_loadu_ps( sums + k ) : _mm_setzero_ps();
      cur = AddThird4( cur, s0 + k, wk );
      cur = AddThird4( cur, s1 + k, wk );
      cur = AddThird4( cur, s2 + k, wk );
      _mm_storeu_ps( sums + k, cur );
   }
   return k;
}

[[VELQORA_TARGET_AVX2]] void AddGrayAvx2( float* sums, const float* s0, const float* s1, const float* s2,
                                          const double* w, int from, int fresh, int to ) noexcept
{
   const int carried = std::clamp( fresh, from, std::max( from, to ) );
   const int a = AddGray4s( sums, s0, s1, s2, w, from, carried, true );
   AddGrayPortable( sums, s0, s1, s2, w, a, carried, carried );
   const int b = AddGray4s( sums, s0, s1, s2, w, carried, to, false );
   AddGrayPortable( sums, s0, s1, s2, w, b, b, to );
}

// The same on eight sums, with masks for the last ones.
[[VELQORA_TARGET_AVX512]] inline __m256 Stored8( __m512d cur ) noexcept
{
   const __m256 f = _mm512_cvtpd_ps( cur );
   return _mm256_min_ps( _mm256_set1_ps( 1.0f ), _mm256_max_ps( _mm256_setzero_ps(), f ) );
}

[[VELQORA_TARGET_AVX512]] inline __m256 AddThird8( __m256 cur, const float* s, __m512d w, __mmask8 lanes ) noexcept
{
   const __m512d weighted = _mm512_mul_pd( _mm512_cvtps_pd( _mm256_maskz_loadu_ps( lanes, s ) ), w );
   return Stored8( _mm512_add_pd( _mm512_cvtps_pd( cur ), _mm512_div_pd( weighted, _mm512_set1_pd( 3.0 ) ) ) );
}

[[VELQORA_TARGET_AVX512]] inline void AddGray8s( float* sums, const float* s0, const float* s1, const float* s2,
                                                 const double* w, int from, int to, bool carried ) noexcept
{
   for ( int k = from; k < to; k += 8 )
   {
      const __mmask8 lanes = to - k >= 8 ? __mmask8( 0xff ) : __mmask8( ( 1u << ( to - k ) ) - 1 );
      const __m512d wk = _mm512_maskz_loadu_pd( lanes, w + k );
      __m256 cur = carried ? _mm256_maskz_loadu_ps( lanes, sums + k ) : _mm256_setzero_ps();
      cur = AddThird8( cur, s0 + k, wk, lanes );
      cur = AddThird8( cur, s1 + k, wk, lanes );
      cur = AddThird8( cur, s2 + k, wk, lanes );
      _mm256_mask_storeu_ps( sums + k, lanes, cur );
   }
}

[[VELQORA_TARGET_AVX512]] void AddGrayAvx512( float* sums, const float* s0, const float* s1, const float* s2,
                                              const double* w, int from, int fresh, int to ) noexcept
{
   const int carried = std::clamp( fresh, from, std::max( from, to ) );
   AddGray8s( sums, s0, s1, s2, w, from, carried, true );
   AddGray8s( sums, s0, s1, s2, w, carried, to, false );
}

} // namespace

void AccumulateRow( float* sums, const float* s, const double* w, int from, int fresh, int to,
                    SimdLevel level ) noexcept
{
   LoopAt<&AddRow>( level, sums, s, w, from, fresh, to );
}

void AccumulateGrayRow( float* sums, const float* s0, const float* s1, const float* s2, const double* w, int from,
                        int fresh, int to, SimdLevel level ) noexcept
{
   switch ( level )
   {
   case SimdLevel::Avx512:
      return AddGrayAvx512( sums, s0, s1, s2, w, from, fresh, to );
   case SimdLevel::Avx2:
      return AddGrayAvx2( sums, s0, s1, s2, w, from, fresh, to );
   default:
      return AddGrayPortable( sums, s0, s1, s2, w, from, fresh, to );
   }
}

} // project_pelk
