#include "module/StrengthMix.h"

#include "framework/FiniteCheck.h"

#include <algorithm>
#include <cstdint>
#include <type_traits>

namespace pcl
{

namespace
{

// The source's side of the strength mix: scaled within its own sample type,
// as a value in [0, 1].
template <class P>
inline double KeptSource( typename P::sample source, double keep ) noexcept
{
   return P::FromSample( P::ToSample( keep * P::FromSample( source ) ) );
}

// One sample of the strength mix (see StrengthMix), given the source's side.
template <class P, bool Linear, bool Transfer>
inline typename P::sample MixSample( float denoised, double kept, double amount, double m, double c0,
                                     uint32_t& bad ) noexcept
{
   double d = denoised;
   if constexpr ( Linear )
   {
      if constexpr ( Transfer )
         d = HistogramTransformation::MTF( m, d );
      d = d + c0;
      bad |= project_pelk::NonFinite( d );
   }
   d = d < 0.0 ? 0.0 : ( d > 1.0 ? 1.0 : d );
   return P::ToSample( amount * d + kept );
}

// One row of the strength mix; `source` may be `out` itself, and `kept`, when
// not null, holds the source's side for every sample value. Returns false
// when a destretched sample was not finite.
template <class P, bool Linear, bool Transfer>
[[gnu::always_inline]] inline bool MixRow( typename P::sample* out, const typename P::sample* source,
                                           const double* kept, const float* denoised, int n, double amount,
                                           double m, double c0 ) noexcept
{
   const double keep = 1 - amount;
   uint32_t bad = 0;
   // At full strength the source's side is zero (at most a negative zero,
   // which leaves every sum as it is): the source need not be read. (Tested
   // on `keep`: known to be 1, the strength would fold into the loop, which
   // then does not vectorise.)
   if ( keep == 0.0 )
   {
      for ( int k = 0; k < n; ++k )
         out[k] = MixSample<P, Linear, Transfer>( denoised[k], 0.0, amount, m, c0, bad );
      return bad == 0;
   }
   // Separate loops, so that none needs a run-time test of overlap to vectorise.
   if constexpr ( !P::IsFloatSample() )
      if ( kept != nullptr )
      {
         for ( int k = 0; k < n; ++k )
            out[k] = MixSample<P, Linear, Transfer>( denoised[k], kept[source[k]], amount, m, c0, bad );
         return bad == 0;
      }
   if ( source == out )
      for ( int k = 0; k < n; ++k )
         out[k] = MixSample<P, Linear, Transfer>( denoised[k], KeptSource<P>( out[k], keep ), amount, m, c0, bad );
   else
      for ( int k = 0; k < n; ++k )
         out[k] = MixSample<P, Linear, Transfer>( denoised[k], KeptSource<P>( source[k], keep ), amount, m, c0, bad );
   return bad == 0;
}

// MixRow at full strength on eight samples at a time, for processors with
// AVX-512: the compiler's own version keeps every select as compares and
// blends, about half as fast. vmaxpd( a, b ) is a > b ? a : b and vminpd( a,
// b ) is a < b ? a : b, so each select below keeps a NaN and a negative zero
// as the portable one does.

// P::ToSample() on eight values, stored.
template <class P>
[[VELQORA_TARGET_AVX512]] inline void Store8( typename P::sample* out, __m512d v, __mmask8 lanes ) noexcept
{
   using sample = typename P::sample;
   if constexpr ( std::is_same_v<sample, float> )
      _mm256_mask_storeu_ps( out, lanes, _mm512_cvtpd_ps( v ) );
   else if constexpr ( std::is_same_v<sample, double> )
      _mm512_mask_storeu_pd( out, lanes, v );
   else
   {
      // !( v > 0 ) gives 0 and v >= 1 the largest sample, then v × largest is
      // rounded half to even by adding and taking away 2^52.
      v = _mm512_min_pd( _mm512_max_pd( v, _mm512_setzero_pd() ), _mm512_set1_pd( 1.0 ) );
      const __m512d magic = _mm512_set1_pd( 4503599627370496.0 );
      v = _mm512_mul_pd( v, _mm512_set1_pd( double( P::MaxSampleValue() ) ) );
      v = _mm512_sub_pd( _mm512_add_pd( v, magic ), magic );
      if constexpr ( sizeof( sample ) == 4 )
         _mm256_mask_storeu_epi32( out, lanes, _mm512_cvtpd_epu32( v ) );
      else if constexpr ( sizeof( sample ) == 2 )
         _mm_mask_storeu_epi16( out, lanes, _mm256_cvtepi32_epi16( _mm512_cvtpd_epi32( v ) ) );
      else
         _mm_mask_storeu_epi8( out, lanes, _mm256_cvtepi32_epi8( _mm512_cvtpd_epi32( v ) ) );
   }
}

template <class P, bool Linear, bool Transfer>
[[VELQORA_TARGET_AVX512]] bool MixRowFull( typename P::sample* out, const float* denoised, int n,
                                                    double amount, double m, double c0 ) noexcept
{
   const __m512d zero = _mm512_setzero_pd(), one = _mm512_set1_pd( 1.0 );
   __mmask8 bad = 0;
   for ( int k = 0; k < n; k += 8 )
   {
      const __mmask8 lanes = n - k >= 8 ? __mmask8( 0xff ) : __mmask8( ( 1u << ( n - k ) ) - 1 );
      __m512d d = _mm512_cvtps_pd( _mm256_maskz_loadu_ps( lanes, denoised + k ) );
      if constexpr ( Linear )
      {
         if constexpr ( Transfer )
         {
            // HistogramTransformation::MTF: 0 unless d > 0, 1 where d >= 1.
            __m512d t = _mm512_div_pd( _mm512_mul_pd( _mm512_set1_pd( m - 1 ), d ),
                                       _mm512_sub_pd( _mm512_mul_pd( _mm512_set1_pd( 2 * m - 1 ), d ),
                                                      _mm512_set1_pd( m ) ) );
            t = _mm512_mask_blend_pd( _mm512_cmp_pd_mask( d, one, _CMP_GE_OQ ), t, one );
            d = _mm512_maskz_mov_pd( _mm512_cmp_pd_mask( d, zero, _CMP_GT_OQ ), t );
         }
         d = _mm512_add_pd( d, _mm512_set1_pd( c0 ) );
         // A NaN (quiet or signalling) or an infinity.
         bad |= _mm512_mask_fpclass_pd_mask( lanes, d, 0x01 | 0x08 | 0x10 | 0x80 );
      }
      // d < 0 ? 0 : ( d > 1 ? 1 : d ), then amount × d + 0 (the source's side).
      d = _mm512_min_pd( one, _mm512_max_pd( zero, d ) );
      Store8<P>( out + k, _mm512_add_pd( _mm512_mul_pd( _mm512_set1_pd( amount ), d ), zero ), lanes );
   }
   return bad == 0;
}

} // namespace

template <class P>
StrengthMix<P>::StrengthMix( GenericImage<P>& image, const GenericImage<P>& source, double amount,
                             const Array<HistogramTransformation>& stf, project_pelk::SimdLevel level )
   : m_image( image )
   , m_source( source )
   , m_amount( amount )
   , m_level( level )
{
   for ( size_t c = 0; c < stf.Length() && c < 3; ++c )
   {
      // The destretch of each channel: the midtones transfer with balance
      // 1 - m, applied as a transformation (skipped when it is the
      // identity), then the shadows clipping point added.
      const HistogramTransformation ht( 1.0 - stf[c].MidtonesBalance(), 0.0, 1.0, 0.0, 1.0 );
      m_destretch[c] = { !ht.IsIdentityTransformation(), ht.MidtonesBalance(), stf[c].ShadowsClipping() };
   }
   m_linear = !stf.IsEmpty();
   // At full strength the source is not read (see MixRow).
   m_readsSource = 1 - amount != 0;
   // 8- and 16-bit samples have few enough values to scale each once.
   if constexpr ( !P::IsFloatSample() && sizeof( sample ) <= 2 )
      if ( m_readsSource )
      {
         m_kept.resize( size_t( P::MaxSampleValue() ) + 1 );
         for ( size_t v = 0; v < m_kept.size(); ++v )
            m_kept[v] = KeptSource<P>( sample( v ), 1 - amount );
      }
}

template <class P>
void StrengthMix<P>::Write( const project_pelk::FinishedColumns& f )
{
   const int n = f.x1 - f.x0;
   for ( int c = 0; c < m_image.NumberOfChannels(); ++c )
      for ( int y = f.y0; y < f.y1; ++y )
      {
         sample* out = m_image.ScanLine( y, c ) + f.x0;
         const sample* src = m_source.ScanLine( y, c ) + f.x0;
         const float* d = f.Row( c, y );
         if ( !m_linear )
            Mix<false, false>( out, src, d, n, {} );
         else if ( m_destretch[c].transfer )
            Mix<true, true>( out, src, d, n, m_destretch[c] );
         else
            Mix<true, false>( out, src, d, n, m_destretch[c] );
      }
   // The rows come in blocks, down the image: the next block's, short runs
   // far apart, are asked for now, to be in cache when they come.
   const int next = std::min( m_image.Height(), f.y1 + ( f.y1 - f.y0 ) );
   for ( int c = 0; c < m_image.NumberOfChannels(); ++c )
      for ( int y = f.y1; y < next; ++y )
      {
         const char* out = reinterpret_cast<const char*>( m_image.ScanLine( y, c ) + f.x0 );
         const char* src = reinterpret_cast<const char*>( m_source.ScanLine( y, c ) + f.x0 );
         for ( size_t b = 0; b < n * sizeof( sample ); b += 64 )
         {
            __builtin_prefetch( out + b, 1 );
            if ( src != out && m_readsSource )
               __builtin_prefetch( src + b );
         }
      }
}

template <class P>
template <bool Linear, bool Transfer>
void StrengthMix<P>::Mix( sample* out, const sample* src, const float* denoised, int n, const Destretch& ds ) noexcept
{
   const bool finite =
      m_level == project_pelk::SimdLevel::Avx512 && !m_readsSource
         ? MixRowFull<P, Linear, Transfer>( out, denoised, n, m_amount, ds.m, ds.c0 )
         : project_pelk::LoopAt<&MixRow<P, Linear, Transfer>>( m_level, out, src,
                                                                m_kept.empty() ? nullptr : m_kept.data(), denoised,
                                                                n, m_amount, ds.m, ds.c0 );
   if ( !finite )
      m_nonFinite = true;
}

#define INSTANTIATE( P ) template class StrengthMix<P>;
PCL_FOR_EACH_PIXEL_TYPE( INSTANTIATE )
#undef INSTANTIATE

} // pcl
