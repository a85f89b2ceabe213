#include "framework/TileSums.h"

#include "framework/Avx512.h"

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

// Stored() on eight sums. vmaxps( 0, f ) is f < 0 ? 0 : f and vminps( 1, f )
// is f > 1 ? 1 : f: a NaN and a negative zero stay as the selects leave them.
[[gnu::target( "arch=x86-64-v4" )]] inline __m256 Stored8( __m512d cur ) noexcept
{
   const __m256 f = _mm512_cvtpd_ps( cur );
   return _mm256_min_ps( _mm256_set1_ps( 1.0f ), _mm256_max_ps( _mm256_setzero_ps(), f ) );
}

// One of a grayscale pixel's three additions, on eight sums.
[[gnu::target( "arch=x86-64-v4" )]] inline __m256 AddThird8( __m256 cur, const float* s, __m512d w,
                                                            __mmask8 lanes ) noexcept
{
   const __m512d weighted = _mm512_mul_pd( _mm512_cvtps_pd( _mm256_maskz_loadu_ps( lanes, s ) ), w );
   return Stored8( _mm512_add_pd( _mm512_cvtps_pd( cur ), _mm512_div_pd( weighted, _mm512_set1_pd( 3.0 ) ) ) );
}

// Columns [from, to), eight at a time; the sums start from 0 unless `carried`.
[[gnu::target( "arch=x86-64-v4" )]] inline void AddGray8s( float* sums, const float* s0, const float* s1,
                                                          const float* s2, const double* w, int from, int to,
                                                          bool carried ) noexcept
{
   for ( int k = from; k < to; k += 8 )
   {
      const __mmask8 lanes = to - k >= 8 ? __mmask8( 0xff ) : __mmask8( ( 1u << ( to - k ) ) - 1 );
      const __m512d wk = _mm512_maskz_loadu_pd( lanes, w + k );
      // A fresh sum is 0.0 + the first addition, as a zero float widened.
      __m256 cur = carried ? _mm256_maskz_loadu_ps( lanes, sums + k ) : _mm256_setzero_ps();
      cur = AddThird8( cur, s0 + k, wk, lanes );
      cur = AddThird8( cur, s1 + k, wk, lanes );
      cur = AddThird8( cur, s2 + k, wk, lanes );
      _mm256_mask_storeu_ps( sums + k, lanes, cur );
   }
}

} // namespace

[[gnu::target_clones( "arch=x86-64-v4", "avx2", "default" )]] void AccumulateRow( float* sums, const float* s,
                                                                                const double* w, int from,
                                                                                int fresh, int to ) noexcept
{
   for ( int k = from; k < fresh; ++k )
      sums[k] = Stored( double( sums[k] ) + double( s[k] ) * w[k] );
   for ( int k = fresh; k < to; ++k )
      sums[k] = Stored( 0.0 + double( s[k] ) * w[k] );
}

void AccumulateGrayRow( float* sums, const float* s0, const float* s1, const float* s2, const double* w, int from,
                        int fresh, int to ) noexcept
{
   if ( HasAvx512() )
      detail::AccumulateGrayRowAvx512( sums, s0, s1, s2, w, from, fresh, to );
   else
      detail::AccumulateGrayRowPortable( sums, s0, s1, s2, w, from, fresh, to );
}

namespace detail
{

[[gnu::target_clones( "avx2", "default" )]] void AccumulateGrayRowPortable( float* sums, const float* s0,
                                                                         const float* s1, const float* s2,
                                                                         const double* w, int from, int fresh,
                                                                         int to ) noexcept
{
   for ( int k = from; k < to; ++k )
   {
      double cur = k < fresh ? double( sums[k] ) : 0.0;
      cur = double( Stored( cur + ( double( s0[k] ) * w[k] ) / 3.0 ) );
      cur = double( Stored( cur + ( double( s1[k] ) * w[k] ) / 3.0 ) );
      sums[k] = Stored( cur + ( double( s2[k] ) * w[k] ) / 3.0 );
   }
}

// Written out in vector code: the compiler's own version of the loop above
// keeps each clamp as compares and blends of doubles, about a third slower.
[[gnu::target( "arch=x86-64-v4" )]] void AccumulateGrayRowAvx512( float* sums, const float* s0, const float* s1,
                                                                 const float* s2, const double* w, int from,
                                                                 int fresh, int to ) noexcept
{
   const int carried = std::clamp( fresh, from, std::max( from, to ) );
   AddGray8s( sums, s0, s1, s2, w, from, carried, true );
   AddGray8s( sums, s0, s1, s2, w, carried, to, false );
}

} // detail

} // project_pelk
