#ifndef PCL_PIXEL_TRAITS_H
#define PCL_PIXEL_TRAITS_H

#include <cmath>
#include <cstdint>

namespace pcl
{

using pcl_bool = int32_t;

namespace detail
{

// Rounds a value in [0, 2^52) to the nearest integer, ties to even: adding and
// subtracting 2^52 leaves no fraction bits, and the addition rounds in the
// default (to nearest, ties to even) mode. Two adds instead of a libm call.
inline double RoundHalfEven( double x ) noexcept
{
   constexpr double magic = 4503599627370496.0; // 2^52
   return ( x + magic ) - magic;
}

template <typename T, uint64_t Max>
struct IntegerPixelTraits
{
   using sample = T;
   static constexpr bool IsFloatSample() noexcept { return false; }
   static constexpr int BitsPerSample() noexcept { return int( sizeof( T ) * 8 ); }
   static constexpr sample MaxSampleValue() noexcept { return sample( Max ); }

   static double FromSample( sample s ) noexcept { return double( s ) / double( Max ); }

   // Clamps to [0, 1] (NaN reads as 0), then rounds to nearest, ties to even.
   static sample ToSample( double x ) noexcept
   {
      if ( !( x > 0 ) )
         return 0;
      if ( x >= 1 )
         return sample( Max );
      return sample( RoundHalfEven( x * double( Max ) ) );
   }

   // A value already in sample units, clamped to the sample range and rounded.
   static sample FromScaledValue( double v ) noexcept
   {
      if ( !( v > 0 ) )
         return 0;
      if ( v >= double( Max ) )
         return sample( Max );
      return sample( RoundHalfEven( v ) );
   }
};

template <typename T>
struct FloatingPixelTraits
{
   using sample = T;
   static constexpr bool IsFloatSample() noexcept { return true; }
   static constexpr int BitsPerSample() noexcept { return int( sizeof( T ) * 8 ); }
   static constexpr sample MaxSampleValue() noexcept { return sample( 1 ); }

   static double FromSample( sample s ) noexcept { return double( s ); }
   static sample ToSample( double x ) noexcept { return sample( x ); }
   static sample FromScaledValue( double v ) noexcept { return sample( v ); }
};

} // detail

struct FloatPixelTraits : detail::FloatingPixelTraits<float> {};
struct DoublePixelTraits : detail::FloatingPixelTraits<double> {};
struct UInt8PixelTraits : detail::IntegerPixelTraits<uint8_t, 255u> {};
struct UInt16PixelTraits : detail::IntegerPixelTraits<uint16_t, 65535u> {};
struct UInt32PixelTraits : detail::IntegerPixelTraits<uint32_t, 4294967295u> {};

// The five pixel types, for explicit instantiation in one place:
// PCL_FOR_EACH_PIXEL_TYPE( M ) expands M( FloatPixelTraits ) ... M( UInt32PixelTraits ).
#define PCL_FOR_EACH_PIXEL_TYPE( M ) \
   M( FloatPixelTraits )             \
   M( DoublePixelTraits )            \
   M( UInt8PixelTraits )             \
   M( UInt16PixelTraits )            \
   M( UInt32PixelTraits )

template <class P>
struct PixelType
{
   using type = P;
};

// Calls f( PixelType<P>() ) for the pixel type of the given sample format and
// returns true; returns false, calling nothing, for any other format.
template <typename F>
bool DispatchPixelType( bool isFloatSample, int bitsPerSample, F&& f )
{
   if ( isFloatSample )
      switch ( bitsPerSample )
      {
      case 32: f( PixelType<FloatPixelTraits>() ); return true;
      case 64: f( PixelType<DoublePixelTraits>() ); return true;
      default: return false;
      }
   switch ( bitsPerSample )
   {
   case 8: f( PixelType<UInt8PixelTraits>() ); return true;
   case 16: f( PixelType<UInt16PixelTraits>() ); return true;
   case 32: f( PixelType<UInt32PixelTraits>() ); return true;
   default: return false;
   }
}

} // pcl

#endif
