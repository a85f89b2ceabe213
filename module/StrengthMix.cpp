#include "module/StrengthMix.h"

#include "framework/FiniteCheck.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
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

// The strength mix (see StrengthMix) on one value, given the source's side,
// before it is stored: written once, for the portable loop (D = double) and
// the vector ones (D = lanes of doubles). `bad` gathers whether a destretched
// value was not finite.
template <bool Linear, bool Transfer, class D, class Bad>
[[gnu::always_inline]] inline D MixValue( D d, D kept, double amount, double m, double c0, Bad& bad ) noexcept
{
   using project_pelk::Splat;
   if constexpr ( Linear )
   {
      if constexpr ( Transfer )
      {
         // HistogramTransformation::MTF: 0 unless d > 0, 1 where d >= 1.
         const D t = ( m - 1 ) * d / ( ( 2 * m - 1 ) * d - m );
         d = d > 0.0 ? ( d >= 1.0 ? Splat<D>( 1 ) : t ) : Splat<D>( 0 );
      }
      d = d + c0;
      bad |= project_pelk::NonFiniteLanes( d );
   }
   d = d < 0.0 ? Splat<D>( 0 ) : ( d > 1.0 ? Splat<D>( 1 ) : d );
   return amount * d + kept;
}

template <class P, bool Linear, bool Transfer>
inline typename P::sample MixSample( float denoised, double kept, double amount, double m, double c0,
                                     uint32_t& bad ) noexcept
{
   return P::ToSample( MixValue<Linear, Transfer>( double( denoised ), kept, amount, m, c0, bad ) );
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

// P::ToSample() on lanes, the same steps: 0 unless v > 0, the largest sample
// where v >= 1, else v × largest rounded half to even, which adding 2^52
// does (the sum's low bits are the rounded integer).
template <class P, int N>
[[gnu::always_inline]] inline auto ToSamples( project_pelk::Lanes<double, N> v ) noexcept
{
   using sample = typename P::sample;
   using D = project_pelk::Lanes<double, N>;
   if constexpr ( P::IsFloatSample() )
      return __builtin_convertvector( v, project_pelk::Lanes<sample, N> );
   else
   {
      v = v > 0.0 ? v : D{};
      v = v >= 1.0 ? project_pelk::Splat<D>( 1 ) : v;
      v = v * double( P::MaxSampleValue() ) + 4503599627370496.0;
      const auto bits = ( project_pelk::Lanes<int64_t, N> ) v;
      // Narrower samples through 32-bit lanes: GCC narrows 64-bit lanes
      // straight to 16 or 8 bits one lane at a time.
      if constexpr ( sizeof( sample ) == 4 )
         return __builtin_convertvector( bits, project_pelk::Lanes<sample, N> );
      else
         return __builtin_convertvector( __builtin_convertvector( bits, project_pelk::Lanes<int32_t, N> ),
                                         project_pelk::Lanes<sample, N> );
   }
}

// MixRow at full strength, N samples at a time; the columns short of a whole
// vector by the portable loop.
template <class P, bool Linear, bool Transfer, int N>
[[gnu::always_inline]] inline bool MixRowFullBy( typename P::sample* out, const float* denoised, int n,
                                                 double amount, double m, double c0 ) noexcept
{
   using D = project_pelk::Lanes<double, N>;
   decltype( D{} < D{} ) bad{};
   int k = 0;
   for ( ; n - k >= N; k += N )
   {
      project_pelk::Lanes<float, N> d;
      std::memcpy( &d, denoised + k, sizeof d );
      const auto s = ToSamples<P, N>( MixValue<Linear, Transfer>( __builtin_convertvector( d, D ), D{}, amount, m,
                                                                   c0, bad ) );
      std::memcpy( out + k, &s, sizeof s );
   }
   bool finite = true;
   for ( int i = 0; i < N; ++i )
      finite = finite && bad[i] == 0;
   return MixRow<P, Linear, Transfer>( out + k, out + k, nullptr, denoised + k, n - k, amount, m, c0 ) && finite;
}

template <class P, bool Linear, bool Transfer>
[[VELQORA_TARGET_AVX2]] bool MixRowFull4( typename P::sample* out, const float* denoised, int n, double amount,
                                          double m, double c0 ) noexcept
{
   return MixRowFullBy<P, Linear, Transfer, 4>( out, denoised, n, amount, m, c0 );
}

template <class P, bool Linear, bool Transfer>
[[VELQORA_TARGET_AVX512]] bool MixRowFull8( typename P::sample* out, const float* denoised, int n, double amount,
                                            double m, double c0 ) noexcept
{
   return MixRowFullBy<P, Linear, Transfer, 8>( out, denoised, n, amount, m, c0 );
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
   // At full strength in lanes of doubles, written out: the compiler's own
   // version of the portable loop is about half as fast.
   using project_pelk::SimdLevel;
   bool finite;
   if ( !m_readsSource && m_level == SimdLevel::Avx512 )
      finite = MixRowFull8<P, Linear, Transfer>( out, denoised, n, m_amount, ds.m, ds.c0 );
   else if ( !m_readsSource && m_level == SimdLevel::Avx2 )
      finite = MixRowFull4<P, Linear, Transfer>( out, denoised, n, m_amount, ds.m, ds.c0 );
   else
      finite = project_pelk::LoopAt<&MixRow<P, Linear, Transfer>>( m_level, out, src,
                                                                   m_kept.empty() ? nullptr : m_kept.data(),
                                                                   denoised, n, m_amount, ds.m, ds.c0 );
   if ( !finite )
      m_nonFinite = true;
}

#define INSTANTIATE( P ) template class StrengthMix<P>;
PCL_FOR_EACH_PIXEL_TYPE( INSTANTIATE )
#undef INSTANTIATE

} // pcl
