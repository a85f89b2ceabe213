#ifndef VELQORA_FINITE_CHECK_H
#define VELQORA_FINITE_CHECK_H

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

namespace project_pelk
{

// True when any of the n samples is NaN or infinite, that is, has every
// exponent bit set. The test on the bit pattern folds into an OR with no early
// exit, which the compiler turns into vector code; callers only need to know
// whether such a sample exists.
inline bool AnyNonFinite( const float* s, size_t n ) noexcept
{
   uint32_t bad = 0;
   for ( size_t i = 0; i < n; ++i )
   {
      uint32_t bits;
      std::memcpy( &bits, s + i, sizeof bits );
      bad |= uint32_t( ( bits & 0x7f800000u ) == 0x7f800000u );
   }
   return bad != 0;
}

// 1 when the value is NaN or infinite, else 0: a test on the bit pattern,
// which vectorises where std::isfinite does not.
inline uint32_t NonFinite( double d ) noexcept
{
   uint64_t bits;
   std::memcpy( &bits, &d, sizeof bits );
   return uint32_t( ( bits & 0x7ff0000000000000u ) == 0x7ff0000000000000u );
}

// NonFinite() on each lane of a vector of doubles (see Lanes in Simd.h): all
// bits set in a lane whose value is NaN or infinite, else 0. On a double, the
// same as NonFinite().
template <class D>
inline auto NonFiniteLanes( D d ) noexcept
{
   if constexpr ( std::is_arithmetic_v<D> )
      return NonFinite( d );
   else
   {
      using Bits = decltype( d < d );
      return ( ( Bits ) d & 0x7ff0000000000000 ) == 0x7ff0000000000000;
   }
}

// A double's exponent lies in its high 32-bit word (x86-64 is little endian);
// testing that word alone keeps the comparison 32 bits wide, which vectorises
// where a 64-bit compare would not.
inline bool AnyNonFinite( const double* s, size_t n ) noexcept
{
   const unsigned char* bytes = reinterpret_cast<const unsigned char*>( s );
   uint32_t bad = 0;
   for ( size_t i = 0; i < n; ++i )
   {
      uint32_t high;
      std::memcpy( &high, bytes + i * sizeof( double ) + 4, sizeof high );
      bad |= uint32_t( ( high & 0x7ff00000u ) == 0x7ff00000u );
   }
   return bad != 0;
}

} // project_pelk

#endif
