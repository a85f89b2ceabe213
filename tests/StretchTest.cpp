// Stretch of linear data before inference and its inverse after it.
#include "HostFixture.h"
#include "ReferencePipeline.h"

#include "framework/DLModelBase.h"
#include "platform/image/View.h"
#include "tests/ErrorOf.h"

#include <cmath>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

using namespace pcl;

namespace
{

const std::string Warning1 = "\033[35mWarning: `Linear data` option is enabled, but STF is an identity function!\033[39m";
const std::string Warning2 = "\033[35mUsing Auto Stretch to transform the image!\033[39m";
const std::string UserLine = "Using STF parameters set by user to stretch the image";
const std::string Critical = "\033[31mCould not stretch the image!\033[39m";

class StretchTest : public HostTest
{
protected:
   // A model as the concrete model configures it, set up for the view's image
   // and holding the view's screen transfer functions.
   template <class P>
   DLModelBase ModelFor( GenericImage<P>& image, pcl::View& view )
   {
      DLModelBase m = reference::SystemModel( image );
      view.GetScreenTransferFunctions( m.stf );
      return m;
   }

   template <class P>
   static std::string StretchFailure( DLModelBase& m, GenericImage<P>& image, pcl::View& view )
   {
      return ErrorOf( [&] { m.StretchImage( image, view ); } );
   }
};

TEST_F( StretchTest, WorkedAutomaticStretch )
{
   host::View& hv = m_host.CreateView( "linear", 512, 512, 1, ColorSpace::Gray, 32, true );
   hv.SetProperty( "Median", { 0.02 } );
   hv.SetProperty( "MAD", { 0.001 } );
   pcl::View view( hv.Handle() );
   ImageVariant variant = view.Image();
   GenericImage<FloatPixelTraits>& image = variant.Image<FloatPixelTraits>();
   image = 0.02;
   image( 0, 0 ) = 0.01;
   image( 1, 0 ) = 0.5;
   DLModelBase m = ModelFor( image, view );

   m.StretchImage( image, view );

   EXPECT_EQ( ConsoleLines(), ( std::vector<std::string>{ Warning1, Warning2 } ) );
   ASSERT_GE( m.stf.Length(), 1u );
   EXPECT_NEAR( m.stf[0].ShadowsClipping(), 0.01584872, 1e-15 );
   EXPECT_NEAR( m.stf[0].MidtonesBalance(), 0.0123513, 1e-7 );
   EXPECT_EQ( m.stf[0].HighlightsClipping(), 1.0 );
   EXPECT_NEAR( image( 100, 100 ), 0.25, 1e-6 ); // the median
   EXPECT_EQ( image( 0, 0 ), 0.0f );            // below the clipping point
   EXPECT_GT( image( 1, 0 ), 0.9f );
   // The view's own transfer functions stay as they were.
   EXPECT_EQ( hv.ScreenTransferFunction( 0 ).m, 0.5 );

   // The output is destretched with the recorded stretch.
   GenericImage<DoublePixelTraits> output( 4, 4, ColorSpace::Gray );
   output = 0.25;
   output( 1, 1 ) = 0.0;
   output( 2, 2 ) = 1.0;
   m.DeStretchImage( output );
   EXPECT_NEAR( output( 0, 0 ), 0.02, 1e-12 );
   EXPECT_EQ( output( 1, 1 ), m.stf[0].ShadowsClipping() );
   // Above 1 by the clipping point: left for the caller to truncate.
   EXPECT_EQ( output( 2, 2 ), 1.0 + m.stf[0].ShadowsClipping() );
}

TEST_F( StretchTest, AutomaticStretchTakesEachChannelFromItsOwnStatistics )
{
   host::View& hv = m_host.CreateView( "rgb", 512, 512, 3, ColorSpace::RGB, 64, true );
   hv.SetProperty( "Median", { 0.02, 0.1, 0.3 } );
   hv.SetProperty( "MAD", { 0.001, 0.0, 0.2 } );
   // The fourth function plays no part in the decision.
   hv.SetScreenTransferFunction( 3, host_stf{ 0.2, 0.1, 1, 0, 1 } );
   pcl::View view( hv.Handle() );
   ImageVariant variant = view.Image();
   GenericImage<DoublePixelTraits>& image = variant.Image<DoublePixelTraits>();
   image.SelectChannel( 0 );
   image = 0.02;
   image.SelectChannel( 1 );
   image = 0.1;
   image.SelectChannel( 2 );
   image = 0.3;
   image.ResetSelections();
   DLModelBase m = ModelFor( image, view );

   m.StretchImage( image, view );

   EXPECT_EQ( ConsoleLines(), ( std::vector<std::string>{ Warning1, Warning2 } ) );
   // A zero MAD: no clipping point, and the median itself goes to the target.
   EXPECT_EQ( m.stf[1].ShadowsClipping(), 0.0 );
   EXPECT_EQ( m.stf[1].MidtonesBalance(), HistogramTransformation::MTF( 0.25, 0.1 ) );
   // A clipping point below 0 is clamped to 0.
   EXPECT_EQ( m.stf[2].ShadowsClipping(), 0.0 );
   EXPECT_EQ( m.stf[2].MidtonesBalance(), HistogramTransformation::MTF( 0.25, 0.3 ) );
   EXPECT_EQ( m.stf[0].ShadowsClipping(), 0.02 + -2.8 * ( 0.001 * 1.4826 ) );
   // The fourth entry is the view's, untouched.
   EXPECT_EQ( m.stf[3].MidtonesBalance(), 0.2 );
   for ( int c = 0; c < 3; ++c )
      EXPECT_NEAR( image( 7, 7, c ), 0.25, 1e-12 ) << c;
   // The last channel processed stays selected.
   EXPECT_EQ( image.FirstSelectedChannel(), 2 );
   EXPECT_EQ( image.LastSelectedChannel(), 2 );
}

// A stretch that would leave only black and white is refused, with the
// channel named, before any channel is changed.
TEST_F( StretchTest, StretchesWithoutMidtonesAreRefused )
{
   const std::string advice = ". Set a screen transfer function for the view, or run without the `Linear data` option.";
   const struct
   {
      DVector median, mad;
      double shadowsClipping;
      std::optional<host_stf> user; // none: the automatic stretch
      std::string message;
   } cases[] = {
      // More than half of the samples 0 (a mosaic's black border), or 1.
      { { 0.0 }, { 0.0 }, -2.8, std::nullopt, "Cannot stretch channel 0: midtones balance 0, shadows clipping 0" },
      { { 1.0 }, { 0.0 }, -2.8, std::nullopt, "Cannot stretch channel 0: midtones balance 1, shadows clipping 0" },
      // A clipping point above the median, then above 1 (clamped).
      { { 0.5 }, { 0.2 }, 1.0, std::nullopt, "Cannot stretch channel 0: midtones balance 0, shadows clipping 0.79652" },
      { { 0.5 }, { 0.2 }, 5.0, std::nullopt, "Cannot stretch channel 0: midtones balance 0, shadows clipping 1" },
      { { 0.02, 0.1, 1.0 }, { 0.001, 0.0, 0.0 }, -2.8, std::nullopt,
        "Cannot stretch channel 2: midtones balance 1, shadows clipping 0" },
      { { 0.1 }, { 0.01 }, -2.8, host_stf{ 0.0, 0.1, 1, 0, 1 }, "Cannot stretch channel 0: midtones balance 0, shadows clipping 0.1" },
      { { 0.1 }, { 0.01 }, -2.8, host_stf{ 0.3, 1.0, 1, 0, 1 }, "Cannot stretch channel 0: midtones balance 0.3, shadows clipping 1" },
   };
   for ( const auto& c : cases )
   {
      const int channels = int( c.median.size() );
      host::View& hv = m_host.CreateView( "case" + std::to_string( int( &c - cases ) ), 512, 512, channels,
                                          channels == 1 ? ColorSpace::Gray : ColorSpace::RGB, 32, true );
      hv.SetProperty( "Median", c.median );
      hv.SetProperty( "MAD", c.mad );
      const bool user = c.user.has_value();
      for ( int k = 0; user && k < channels; ++k )
         hv.SetScreenTransferFunction( k, *c.user );
      pcl::View view( hv.Handle() );
      ImageVariant variant = view.Image();
      GenericImage<FloatPixelTraits>& image = variant.Image<FloatPixelTraits>();
      reference::FillRandom( image, 0.0, 1.0, 11 );
      const GenericImage<FloatPixelTraits> before = GenericImage<FloatPixelTraits>::OwnedCopy( image );
      DLModelBase m = ModelFor( image, view );
      m.shadowsClipping = c.shadowsClipping;
      HostConsole().ClearTranscript();

      EXPECT_EQ( StretchFailure( m, image, view ), c.message + advice );
      const std::vector<std::string> lines =
         user ? std::vector<std::string>{ UserLine, Critical } : std::vector<std::string>{ Warning1, Warning2, Critical };
      EXPECT_EQ( ConsoleLines(), lines );
      for ( int k = 0; k < channels; ++k )
         ASSERT_EQ( std::memcmp( image.PixelData( k ), before.PixelData( k ), 512 * 512 * sizeof( float ) ), 0 )
            << c.message;
   }
}

TEST_F( StretchTest, UserFunctionThatDiffersOnlyInItsHighlightsCountsAsSet )
{
   host::View& hv = m_host.CreateView( "user", 512, 512, 1, ColorSpace::Gray, 32, true );
   hv.SetScreenTransferFunction( 0, host_stf{ 0.5, 0, 0.9, 0, 1 } );
   pcl::View view( hv.Handle() );
   ImageVariant variant = view.Image();
   GenericImage<FloatPixelTraits>& image = variant.Image<FloatPixelTraits>();
   reference::FillRandom( image, 0.0, 1.0, 3 );
   const GenericImage<FloatPixelTraits> before = GenericImage<FloatPixelTraits>::OwnedCopy( image );
   DLModelBase m = ModelFor( image, view );

   EXPECT_FALSE( m.IsSTFIdentity( view ) );
   m.StretchImage( image, view );
   EXPECT_EQ( ConsoleLines(), std::vector<std::string>{ UserLine } );
   // Statistics are still asked for, and so computed by the host.
   EXPECT_EQ( hv.ComputationCount(), 1 );
   EXPECT_EQ( m.stf[0].HighlightsClipping(), 0.9 );
   m.DeStretchImage( image );
   for ( int y = 0; y < 512; y += 7 )
      for ( int x = 0; x < 512; x += 5 )
         ASSERT_EQ( image( x, y ), before( x, y ) ) << x << "," << y;
}

TEST_F( StretchTest, IdentityTestLooksAtTheImageChannelsOnly )
{
   host::View& hv = m_host.CreateView( "gray", 512, 512, 1, ColorSpace::Gray, 16, false );
   hv.SetScreenTransferFunction( 1, host_stf{ 0.3, 0, 1, 0, 1 } );
   hv.SetScreenTransferFunction( 2, host_stf{ 0.3, 0, 1, 0, 1 } );
   pcl::View view( hv.Handle() );
   ImageVariant variant = view.Image();
   GenericImage<UInt16PixelTraits>& image = variant.Image<UInt16PixelTraits>();
   DLModelBase m = ModelFor( image, view );
   EXPECT_TRUE( m.IsSTFIdentity( view ) );
   EXPECT_TRUE( hv.HasProperty( "Median" ) );
   EXPECT_TRUE( hv.HasProperty( "MAD" ) );
   m.numberOfChannels = 3;
   EXPECT_FALSE( m.IsSTFIdentity( view ) );
   EXPECT_EQ( ConsoleText(), "" );
}

// Stretch then destretch gives back the larger of the sample and the clipping
// point, to rounding. With m 0.5 there is no transfer: a floating-point
// channel keeps the negative differences and gets the sample back, an integer
// one is clamped at 0 by the subtraction.
TEST_F( StretchTest, RoundTrip )
{
   const std::vector<host_stf> stf = { { 0.3, 0.1, 1, 0, 1 }, { 0.2, 0.0, 1, 0, 1 }, { 0.5, 0.2, 1, 0, 1 } };
   auto check = [&]<class P>( P, double tolerance ) {
      SCOPED_TRACE( P::BitsPerSample() );
      host::View& hv = m_host.CreateView( "rgb" + std::to_string( P::BitsPerSample() ), 512, 512, 3, ColorSpace::RGB,
                                          P::BitsPerSample(), P::IsFloatSample() );
      for ( int c = 0; c < 3; ++c )
         hv.SetScreenTransferFunction( c, stf[c] );
      pcl::View view( hv.Handle() );
      ImageVariant variant = view.Image();
      GenericImage<P>& image = variant.Image<P>();
      reference::FillRandom( image, 0.0, 1.0, 5 );
      const GenericImage<P> before = GenericImage<P>::OwnedCopy( image );
      DLModelBase m = ModelFor( image, view );

      m.StretchImage( image, view );
      // Without rescaling after the subtraction: x' = MTF(m, x - c0).
      EXPECT_NEAR( P::FromSample( image( 3, 4, 0 ) ),
                   HistogramTransformation::MTF( 0.3, P::FromSample( before( 3, 4, 0 ) ) - 0.1 ), tolerance );
      m.DeStretchImage( image );
      for ( int c = 0; c < 3; ++c )
         for ( int y = 0; y < 512; y += 3 )
            for ( int x = 0; x < 512; x += 3 )
            {
               const double x0 = P::FromSample( before( x, y, c ) );
               const double expected = P::IsFloatSample() && c == 2 ? x0 : std::max( x0, stf[c].c0 );
               ASSERT_NEAR( P::FromSample( image( x, y, c ) ), expected, tolerance ) << x << "," << y << "," << c;
            }
   };
   check( DoublePixelTraits(), 1e-12 );
   check( UInt16PixelTraits(), 3.0 / 65535 );
}

TEST_F( StretchTest, AFailingPropertyFetchWritesTheCriticalLineAndRethrows )
{
   host::View& hv = m_host.CreateView( "complex", 512, 512, 1, ColorSpace::Gray, 32, true, true );
   pcl::View view( hv.Handle() );
   GenericImage<FloatPixelTraits> image( 512, 512, ColorSpace::Gray );
   DLModelBase m = ModelFor( image, view );

   const std::string direct = ErrorOf( [&] { m.IsSTFIdentity( view ); } );
   EXPECT_EQ( direct, "Unable to compute or fetch the view property MAD: Cannot compute MAD of a complex image" );
   EXPECT_EQ( ConsoleText(), "" ); // the identity test writes nothing

   EXPECT_EQ( StretchFailure( m, image, view ), direct );
   EXPECT_EQ( ConsoleLines(), std::vector<std::string>{ Critical } );
}

TEST_F( StretchTest, TooFewStatisticsOrTransferFunctionsAreRefused )
{
   host::View& hv = m_host.CreateView( "short", 512, 512, 3, ColorSpace::RGB, 32, true );
   hv.SetProperty( "Median", { 0.1, 0.1, 0.1 } );
   hv.SetProperty( "MAD", { 0.01 } );
   pcl::View view( hv.Handle() );
   ImageVariant variant = view.Image();
   GenericImage<FloatPixelTraits>& image = variant.Image<FloatPixelTraits>();
   DLModelBase m = ModelFor( image, view );

   EXPECT_EQ( StretchFailure( m, image, view ), "The view property MAD has 1 value(s) for an image of 3 channel(s)." );
   EXPECT_EQ( ConsoleLines(), ( std::vector<std::string>{ Warning1, Warning2, Critical } ) );

   hv.SetProperty( "MAD", { 0.01, 0.01, 0.01 } );
   hv.SetProperty( "Median", {} );
   HostConsole().ClearTranscript();
   EXPECT_EQ( StretchFailure( m, image, view ),
              "The view property Median has 0 value(s) for an image of 3 channel(s)." );

   hv.SetProperty( "Median", { 0.1, 0.1, 0.1 } );
   m.stf = Array<HistogramTransformation>( 2, HistogramTransformation() );
   HostConsole().ClearTranscript();
   EXPECT_EQ( StretchFailure( m, image, view ), "Missing screen transfer functions: 2 for an image of 3 channel(s)." );
   EXPECT_EQ( ConsoleLines(), std::vector<std::string>{ Critical } );

   m.stf.Clear();
   EXPECT_EQ( ErrorOf( [&] { m.DeStretchImage( image ); } ),
              "Missing screen transfer functions: 0 for an image of 3 channel(s)." );
}

} // namespace
