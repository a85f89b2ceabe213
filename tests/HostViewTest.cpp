// The host's per-channel statistics "Median" and "MAD".
#include "host/windows/HostView.h"
#include "platform/image/ColorSpace.h"
#include "platform/image/PixelTraits.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <stdexcept>
#include <utility>
#include <vector>

namespace
{

using Values = std::vector<double>;

// By a full sort, as the definition reads.
double SortedMedian( Values v )
{
   std::sort( v.begin(), v.end() );
   const size_t n = v.size();
   return n % 2 == 1 ? v[n / 2] : ( v[n / 2 - 1] + v[n / 2] ) / 2;
}

enum class Spread
{
   Skewed,    // so that median and mean differ
   MostlyOne, // nine in ten samples alike: ties around the middle ranks
   TwoHalves  // half 0.25, half 0.75: the middle two differ
};

// Random samples spread as told, then each channel's statistics against the
// sorted definition.
template <class P>
void ExpectStatisticsOfEveryChannel( int width, int height, int channels, unsigned seed,
                                     Spread spread = Spread::Skewed )
{
   host::View view( "v", width, height, channels, channels == 1 ? pcl::ColorSpace::Gray : pcl::ColorSpace::RGB,
                    P::BitsPerSample(), P::IsFloatSample() );
   std::mt19937 rng( seed );
   std::uniform_real_distribution<double> u( 0.0, 1.0 );
   std::vector<Values> values( channels );
   for ( int c = 0; c < channels; ++c )
      for ( int k = 0; k < width * height; ++k )
      {
         const double x = u( rng );
         auto& sample = view.Samples<typename P::sample>( c )[k];
         sample = P::ToSample( spread == Spread::TwoHalves                    ? ( k % 2 ? 0.25 : 0.75 )
                               : spread == Spread::MostlyOne && k % 10 != 0 ? 0.25
                                                                              : x * x * ( 0.3 + 0.3 * c ) );
         values[c].push_back( P::FromSample( sample ) );
      }
   const Values median = view.ComputeOrFetchProperty( "Median" );
   const Values mad = view.ComputeOrFetchProperty( "MAD" );
   ASSERT_EQ( median.size(), size_t( channels ) );
   ASSERT_EQ( mad.size(), size_t( channels ) );
   for ( int c = 0; c < channels; ++c )
   {
      const double expectedMedian = SortedMedian( values[c] );
      for ( double& x : values[c] )
         x = std::abs( x - expectedMedian );
      EXPECT_EQ( median[c], expectedMedian ) << P::BitsPerSample() << " bits, channel " << c;
      EXPECT_EQ( mad[c], SortedMedian( values[c] ) ) << P::BitsPerSample() << " bits, channel " << c;
   }
}

TEST( HostViewStatistics, MatchTheSortedDefinitionForEverySampleFormat )
{
   ExpectStatisticsOfEveryChannel<pcl::FloatPixelTraits>( 37, 23, 3, 1 );  // odd count
   ExpectStatisticsOfEveryChannel<pcl::DoublePixelTraits>( 2, 2, 1, 6 );   // mean of the middle two
   ExpectStatisticsOfEveryChannel<pcl::UInt8PixelTraits>( 31, 30, 3, 3 );
   ExpectStatisticsOfEveryChannel<pcl::UInt16PixelTraits>( 33, 17, 3, 4 );
   ExpectStatisticsOfEveryChannel<pcl::UInt32PixelTraits>( 26, 26, 1, 5 );
   // Large enough for the way that brackets the middle ranks with a sample of
   // the values (32-bit and floating-point samples).
   for ( Spread spread : { Spread::Skewed, Spread::MostlyOne, Spread::TwoHalves } )
   {
      ExpectStatisticsOfEveryChannel<pcl::FloatPixelTraits>( 1001, 600, 1, 7, spread );  // odd count
      ExpectStatisticsOfEveryChannel<pcl::DoublePixelTraits>( 1000, 600, 1, 8, spread ); // even count
      ExpectStatisticsOfEveryChannel<pcl::UInt32PixelTraits>( 1000, 601, 1, 9, spread );
      ExpectStatisticsOfEveryChannel<pcl::UInt16PixelTraits>( 1000, 600, 1, 10, spread );
   }

   // 33/255 is one of the values where dividing and multiplying by the
   // reciprocal differ in the last bit; the statistics read samples as the
   // module's pixel traits do.
   host::View v8( "v8", 5, 5, 1, pcl::ColorSpace::Gray, 8, false );
   std::fill_n( v8.Samples<uint8_t>( 0 ), 25, uint8_t( 33 ) );
   EXPECT_EQ( v8.ComputeOrFetchProperty( "Median" ), Values{ pcl::UInt8PixelTraits::FromSample( 33 ) } );
   EXPECT_EQ( v8.ComputeOrFetchProperty( "MAD" ), Values{ 0.0 } );
}

TEST( HostViewStatistics, KeptUntilTheImageChangesAndRefusedForUnknownNamesOrComplexImages )
{
   host::View view( "kept", 4, 4, 1, pcl::ColorSpace::Gray, 32, true );
   std::fill_n( view.Samples<float>( 0 ), 16, 0.5f );
   EXPECT_EQ( view.ComputeOrFetchProperty( "MAD" ), Values{ 0.0 } );
   EXPECT_EQ( view.ComputeOrFetchProperty( "Median" ), Values{ 0.5 } );
   EXPECT_EQ( view.ComputationCount(), 1 ); // both from one computation

   std::fill_n( view.Samples<float>( 0 ), 16, 0.25f );
   EXPECT_EQ( view.ComputeOrFetchProperty( "Median" ), Values{ 0.5 } ); // still the old image's
   view.ImageChanged();
   EXPECT_EQ( view.ComputeOrFetchProperty( "Median" ), Values{ 0.25 } );
   EXPECT_EQ( view.ComputationCount(), 2 );

   view.Reallocate( 2, 2, 1, pcl::ColorSpace::Gray, 32, true );
   EXPECT_FALSE( view.HasProperty( "Median" ) );
   EXPECT_EQ( view.ComputeOrFetchProperty( "Median" ), Values{ 0.0 } );
   EXPECT_EQ( view.ComputationCount(), 3 );
   // An empty image is no image: refused, and the view keeps its own.
   for ( const auto& [width, height] : { std::pair( 0, 2 ), std::pair( 2, 0 ) } )
      EXPECT_THROW( view.Reallocate( width, height, 1, pcl::ColorSpace::Gray, 32, true ), std::runtime_error );
   EXPECT_EQ( view.Width() * view.Height(), 4 );

   EXPECT_THROW( view.ComputeOrFetchProperty( "Mean" ), std::runtime_error );
   host::View complex( "c", 2, 2, 1, pcl::ColorSpace::Gray, 32, true, true );
   EXPECT_THROW( complex.ComputeOrFetchProperty( "Median" ), std::runtime_error );
}

} // namespace
