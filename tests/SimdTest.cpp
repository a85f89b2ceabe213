// Each kernel's vector code against its portable loop, bit for bit, at every
// level this processor runs, on values the identity network never gives.
#include "framework/TileSums.h"
#include "framework/TileTranspose.h"
#include "module/StrengthMix.h"
#include "tests/SimdLevels.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

using namespace pcl;
using project_pelk::SimdLevel;

namespace
{

constexpr float NaN = std::numeric_limits<float>::quiet_NaN(), Inf = std::numeric_limits<float>::infinity();

template <class T>
bool SameBits( const std::vector<T>& a, const std::vector<T>& b )
{
   return a.size() == b.size() && std::memcmp( a.data(), b.data(), a.size() * sizeof( T ) ) == 0;
}

// Both transposes, for counts that the vector code moves in squares of 8 or
// 16 and counts it leaves to the portable loop, lengths with and without
// columns short of a square, on finite values with or without a planted NaN
// or infinity (in the squares or in the rest), which must be reported, and
// on arbitrary bit patterns (signalling NaNs among them) that must move
// unchanged. Nothing may be written outside the rows and columns moved.
TEST( Simd, TransposesMoveTheSameBitsAsThePortableLoops )
{
   const struct
   {
      int count, n;
      float planted; // 0: none
   } cases[] = {
      { 48, 512, 0 }, { 48, 496, NaN }, { 48, 40, -Inf }, { 16, 33, Inf }, { 8, 24, NaN }, { 24, 17, 0 },
      { 64, 31, NaN }, { 3, 20, Inf }, { 12, 16, 0 }, { 48, 0, 0 }, { 40, 7, NaN }, { 72, 16, Inf },
   };
   std::mt19937 random( 5 );
   // Any bit pattern, or finite ones only.
   auto bits = [&]( bool anything ) {
      uint32_t b = random();
      if ( !anything && ( b & 0x7f800000u ) == 0x7f800000u )
         b &= 0xbfffffffu;
      float f;
      std::memcpy( &f, &b, sizeof f );
      return f;
   };
   const float sentinel = -7.0f;
   for ( const auto& k : cases )
      for ( int trial = 0; trial < 4; ++trial )
      {
         const size_t stride = size_t( k.count ) + 5, pitch = size_t( k.n ) + 3;
         // Rows [q * pitch, q * pitch + n) of `rows`; columns [i * stride, i * stride + count) of `columns`.
         std::vector<float> rows( k.count * pitch + 1, sentinel ), columns( std::max( k.n, 1 ) * stride, sentinel );
         for ( int q = 0; q < k.count; ++q )
            for ( int i = 0; i < k.n; ++i )
               rows[q * pitch + i] = bits( trial == 3 );
         for ( int i = 0; i < k.n; ++i )
            for ( int q = 0; q < k.count; ++q )
               columns[i * stride + q] = bits( trial == 3 );
         if ( k.planted != 0 && k.n > 0 )
            columns[( random() % k.n ) * stride + random() % k.count] = k.planted;
         bool finite = true;
         for ( int i = 0; i < k.n; ++i )
            for ( int q = 0; q < k.count; ++q )
               finite = finite && std::isfinite( columns[i * stride + q] );
         for ( const SimdLevel level : SimdLevelsHere() )
         {
            SCOPED_TRACE( std::string( project_pelk::SimdLevelName( level ) ) + ", count " + std::to_string( k.count ) +
                          ", n " + std::to_string( k.n ) + ", trial " + std::to_string( trial ) );
            std::vector<const float*> from( k.count );
            for ( int q = 0; q < k.count; ++q )
               from[q] = rows.data() + q * pitch;
            std::vector<float> portable( columns.size(), sentinel ), vector( columns.size(), sentinel );
            project_pelk::RowsToColumns( from.data(), k.count, k.n, portable.data(), stride, SimdLevel::Portable );
            project_pelk::RowsToColumns( from.data(), k.count, k.n, vector.data(), stride, level );
            EXPECT_TRUE( SameBits( portable, vector ) );

            std::vector<float> portableRows( rows.size(), sentinel ), vectorRows( rows.size(), sentinel );
            std::vector<float*> to( k.count ), vectorTo( k.count );
            for ( int q = 0; q < k.count; ++q )
            {
               to[q] = portableRows.data() + q * pitch;
               vectorTo[q] = vectorRows.data() + q * pitch;
            }
            EXPECT_EQ( project_pelk::ColumnsToRows( columns.data(), stride, k.count, k.n, to.data(), SimdLevel::Portable ),
                       finite );
            EXPECT_EQ( project_pelk::ColumnsToRows( columns.data(), stride, k.count, k.n, vectorTo.data(), level ),
                       finite );
            EXPECT_TRUE( SameBits( portableRows, vectorRows ) );
         }
      }
}

// Both accumulations, on outputs negative, above 1, negative zero, subnormal
// and huge, with every split of carried and fresh sums and lengths that leave
// columns short of a whole vector.
TEST( Simd, AccumulationsEqualThePortableLoops )
{
   const float edges[] = { 0.0f, -0.0f, 1.0f, 1.0000001f, 0.99999994f, -1e-30f, 1e-45f, -1e-45f, 1e-40f,
                           3.0e38f, -3.0e38f, 0.5f, -0.25f, 2.0f };
   std::mt19937 random( 7 );
   std::uniform_real_distribution<float> uniform( -0.5f, 1.5f );
   auto value = [&] { return random() % 3 == 0 ? edges[random() % std::size( edges )] : uniform( random ); };
   for ( int trial = 0; trial < 2000; ++trial )
   {
      const int n = 1 + int( random() % 40 );
      const int from = int( random() % n ), to = from + int( random() % ( n - from + 1 ) );
      const int fresh = int( random() % ( n + 3 ) ) - 1;
      std::vector<float> s[3], sums( n );
      std::vector<double> w( n );
      for ( auto& channel : s )
         for ( int k = 0; k < n; ++k )
            channel.push_back( value() );
      for ( int k = 0; k < n; ++k )
      {
         sums[k] = random() % 5 == 0 ? -0.0f : uniform( random ) / 1.5f;
         w[k] = random() % 2 ? double( random() % 1025 ) / 1024 : double( uniform( random ) ) / 1.5;
      }
      // The one-channel loop takes fresh within [from, to], as the accumulator hands it.
      const int rgbFresh = std::clamp( fresh, from, to );
      std::vector<float> gray = sums, rgb = sums;
      project_pelk::AccumulateGrayRow( gray.data(), s[0].data(), s[1].data(), s[2].data(), w.data(), from, fresh, to,
                                       SimdLevel::Portable );
      project_pelk::AccumulateRow( rgb.data(), s[1].data(), w.data(), from, rgbFresh, to, SimdLevel::Portable );
      for ( const SimdLevel level : SimdLevelsHere() )
      {
         std::vector<float> vectorGray = sums, vectorRgb = sums;
         project_pelk::AccumulateGrayRow( vectorGray.data(), s[0].data(), s[1].data(), s[2].data(), w.data(), from,
                                          fresh, to, level );
         project_pelk::AccumulateRow( vectorRgb.data(), s[1].data(), w.data(), from, rgbFresh, to, level );
         ASSERT_TRUE( SameBits( gray, vectorGray ) && SameBits( rgb, vectorRgb ) )
            << project_pelk::SimdLevelName( level ) << ", trial " << trial << ": columns " << from << " to " << to
            << ", fresh from " << fresh;
      }
   }
}

// The strength mix's rows at every strength kind (full, none, between; a
// separate source and the image itself), for every pixel type and mode, on
// denoised values the accumulation never gives (negative, above 1, NaN,
// infinite) and destretches that leave [0, 1].
TEST( Simd, StrengthMixEqualsThePortableLoop )
{
   const float edges[] = { 0.0f, -0.0f, 1.0f, 1.0000001f, 0.99999994f, -1e-30f, 1e-45f, 0.5f, -0.25f, 2.0f };
   // At most one of these per row, so that each decides whether the row is finite.
   const float planted[] = { 0.5f, NaN, Inf, -Inf };
   const struct
   {
      double m, c0; // the stretch undone; none in plain mode
      bool linear;
   } modes[] = { { 0.5, 0.0, false }, { 0.2, 0.1, true }, { 0.8, -0.3, true }, { 0.5, 0.25, true } };
   const struct
   {
      double amount;
      bool ownSource;
   } strengths[] = { { 1.0, true }, { 0.3, true }, { 0.7, false }, { 0.0, false } };
   std::mt19937 random( 11 );
   std::uniform_real_distribution<float> uniform( -0.2f, 1.2f );
   constexpr int width = 37, height = 1;
   std::vector<float> denoised( width * height );
   auto check = [&]<class P>( P ) {
      for ( const auto& mode : modes )
         for ( const auto& strength : strengths )
            for ( int trial = 0; trial < 8; ++trial )
            {
               for ( float& d : denoised )
                  d = random() % 3 == 0 ? edges[random() % std::size( edges )] : uniform( random );
               denoised[3 + random() % ( width - 5 )] = planted[trial % std::size( planted )];
               Array<HistogramTransformation> stf;
               if ( mode.linear )
                  stf.Add( HistogramTransformation( mode.m, mode.c0, 1, 0, 1 ) );
               GenericImage<P> source( width, height, ColorSpace::Gray );
               for ( int x = 0; x < width; ++x )
                  source( x, 0 ) = P::ToSample( uniform( random ) );
               // Columns 3 to 34 of 37: no loop may write past them.
               const project_pelk::FinishedColumns f{ 3, width - 2, 0, height, denoised.data() + 3, width, 0 };
               auto mixed = [&]( SimdLevel level, bool& finite ) {
                  GenericImage<P> image = GenericImage<P>::OwnedCopy( source );
                  if ( !strength.ownSource )
                     image = 0.5;
                  StrengthMix<P> mix( image, strength.ownSource ? image : source, strength.amount, stf, level );
                  mix.Write( f );
                  finite = mix.AllFinite();
                  return std::vector<typename P::sample>( image.PixelData( 0 ), image.PixelData( 0 ) + width );
               };
               bool portableFinite = false;
               const auto portable = mixed( SimdLevel::Portable, portableFinite );
               // The transfer sends a NaN and infinities to 0 or 1; without it they stay.
               const bool transfer = mode.linear && mode.m != 0.5;
               const bool nonFinite = trial % std::size( planted ) != 0 && mode.linear && !transfer;
               ASSERT_EQ( portableFinite, !nonFinite ) << P::BitsPerSample() << " bits, trial " << trial;
               for ( const SimdLevel level : SimdLevelsHere() )
               {
                  bool finite = false;
                  ASSERT_TRUE( SameBits( mixed( level, finite ), portable ) )
                     << project_pelk::SimdLevelName( level ) << ", " << P::BitsPerSample() << " bits, m " << mode.m
                     << ", c0 " << mode.c0 << ", amount " << strength.amount << ", trial " << trial;
                  ASSERT_EQ( finite, portableFinite ) << project_pelk::SimdLevelName( level );
               }
            }
   };
   check( FloatPixelTraits() );
   check( DoublePixelTraits() );
   check( UInt8PixelTraits() );
   check( UInt16PixelTraits() );
   check( UInt32PixelTraits() );
}

} // namespace
