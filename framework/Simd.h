#ifndef VELQORA_SIMD_H
#define VELQORA_SIMD_H

// The one place that decides which vector code runs. Every kernel takes a
// level, by default the one this process runs at, and keeps beside its vector
// versions the portable loop they must equal bit for bit; the tests compare
// the two at every level the processor has.

// GCC 12 takes the undefined vector that its conversion intrinsics start from
// for an uninitialised variable.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <immintrin.h>
#pragma GCC diagnostic pop

#include <type_traits>

// The targets a level's code is compiled for: AVX2 is x86-64-v3 (with FMA,
// which -ffp-contract=off keeps out of the sums), AVX-512 is x86-64-v4 (F, BW,
// DQ and VL, so also masked 256-bit vectors).
#define VELQORA_TARGET_AVX2 gnu::target( "arch=x86-64-v3" )
#define VELQORA_TARGET_AVX512 gnu::target( "arch=x86-64-v4" )

namespace project_pelk
{

enum class SimdLevel
{
   Portable,
   Avx2,
   Avx512
};

// The highest level this processor runs.
SimdLevel ProcessorSimdLevel() noexcept;

// The level the module's kernels run at: the processor's, capped by the
// environment variable VELQORA_SIMD ("portable", "avx2" or "avx512"; any other
// value caps at the portable code). Decided at the first call.
SimdLevel ActiveSimdLevel() noexcept;

// "portable", "avx2" or "avx512", as VELQORA_SIMD spells them.
const char* SimdLevelName( SimdLevel level ) noexcept;

// N values of T in one vector, with GCC's vector extension: arithmetic and
// comparisons act lane by lane, a ? b : c selects lane by lane, and
// __builtin_convertvector converts lane by lane. Arithmetic written once over
// a value type runs on T itself in a portable loop and on Lanes<T, 4> or
// Lanes<T, 8> in the vector ones, with the same rounding in every lane.
template <class T, int N>
struct LanesOf
{
   typedef T type __attribute__( ( vector_size( N * sizeof( T ) ) ) );
};
template <class T, int N>
using Lanes = typename LanesOf<T, N>::type;

// x in every lane of D, or x itself when D is a scalar.
template <class D>
inline D Splat( double x ) noexcept
{
   if constexpr ( std::is_arithmetic_v<D> )
      return x;
   else
      return x - D{};
}

namespace detail
{

template <auto Loop, class... A>
[[VELQORA_TARGET_AVX2]] auto LoopForAvx2( A... a )
{
   return Loop( a... );
}

template <auto Loop, class... A>
[[VELQORA_TARGET_AVX512]] auto LoopForAvx512( A... a )
{
   return Loop( a... );
}

} // detail

// A portable loop that the compiler turns into vector code by itself, compiled
// for `level`. `Loop` must be declared [[gnu::always_inline]], so that it is
// compiled anew inside each level's function.
template <auto Loop, class... A>
auto LoopAt( SimdLevel level, A... a )
{
   switch ( level )
   {
   case SimdLevel::Avx512:
      return detail::LoopForAvx512<Loop>( a... );
   case SimdLevel::Avx2:
      return detail::LoopForAvx2<Loop>( a... );
   default:
      return Loop( a... );
   }
}

} // project_pelk

#endif
