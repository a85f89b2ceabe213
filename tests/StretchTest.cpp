// Stretch of linear data before inference and its inverse after it.
#include "HostFixture.h"
#include "ReferencePipeline.h"

#include "framework/DLModelBase.h"
#include "platform/image/View.h"
#include "tests/ErrorOf.h"

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

using StretchTest = HostTest;

// A host view's image, and a model as the concrete model configures it for
// that image, holding the view's screen transfer functions.
template <class P>
struct Stretching
{
   explicit Stretching( host::View& hv )
      : view( hv.Handle() ), variant( view.Image() ), image( variant.Image<P>() ), m( reference::SystemModel( image ) )
   {
      view.GetScreenTransferFunctions( m.stf );
   }

   void Stretch() { m.StretchImage( image, view ); }
   std::string Failure() { return ErrorOf( [&] { m.StretchImage( image, view ); } ); }

   pcl::View view;
   ImageVariant variant;
   GenericImage<P>& image;
   DLModelBase m;
};

TEST_F( StretchTest, AutomaticStretchOfAKnownMedianAndMAD )
{
   host::View& hv = m_host.Windows().CreateView( "linear", 512, 512, 1, ColorSpace::Gray, 32, true );
   hv.SetProperty( "Median", { 0.02 } );
   hv.SetProperty( "MAD", { 0.001 } );
   Stretching<FloatPixelTraits> s( hv );
   GenericImage<FloatPixelTraits>& image = s.image;
   DLModelBase& m = s.m;
   image = 0.02;
   image( 0, 0 ) = 0.01;
   image( 1, 0 ) = 0.5;

   s.Stretch();

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
   host::View& hv = m_host.Windows().CreateView( "rgb", 512, 512, 3, ColorSpace::RGB, 64, true );
   hv.SetProperty( "Median", { 0.02, 0.1, 0.3 } );
   hv.SetProperty( "MAD", { 0.001, 0.0, 0.2 } );
   // The fourth function plays no part in the decision.
   hv.SetScreenTransferFunction( 3, host_stf{ 0.2, 0.1, 1, 0, 1 } );
   Stretching<DoublePixelTraits> s( hv );
   GenericImage<DoublePixelTraits>& image = s.image;
   image.SelectChannel( 0 );
   image = 0.02;
   image.SelectChannel( 1 );
   image = 0.1;
   image.SelectChannel( 2 );
   image = 0.3;
   image.ResetSelections();
   DLModelBase& m = s.m;

   s.Stretch();

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
   // What to do depends on whose stretch it was.
   const std::string automaticAdvice =
      ". Set a screen transfer function for the view, or run without the `Linear data` option.";
   const std::string userAdvice = ". Fix the view's screen transfer function, or run without the `Linear data` option.";
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
      host::View& hv = m_host.Windows().CreateView( "case" + std::to_string( int( &c - cases ) ), 512, 512, channels,
                                          channels == 1 ? ColorSpace::Gray : ColorSpace::RGB, 32, true );
      hv.SetProperty( "Median", c.median );
      hv.SetProperty( "MAD", c.mad );
      const bool user = c.user.has_value();
      for ( int k = 0; user && k < channels; ++k )
         hv.SetScreenTransferFunction( k, *c.user );
      Stretching<FloatPixelTraits> s( hv );
      reference::FillRandom( s.image, 0.0, 1.0, 11 );
      const GenericImage<FloatPixelTraits> before = GenericImage<FloatPixelTraits>::OwnedCopy( s.image );
      s.m.shadowsClipping = c.shadowsClipping;
      HostConsole().ClearTranscript();

      EXPECT_EQ( s.Failure(), c.message + ( user ? userAdvice : automaticAdvice ) );
      const std::vector<std::string> lines =
         user ? std::vector<std::string>{ UserLine, Critical } : std::vector<std::string>{ Warning1, Warning2, Critical };
      EXPECT_EQ( ConsoleLines(), lines );
      for ( int k = 0; k < channels; ++k )
         ASSERT_EQ( std::memcmp( s.image.PixelData( k ), before.PixelData( k ), 512 * 512 * sizeof( float ) ), 0 )
            << c.message;
   }
}

TEST_F( StretchTest, UserFunctionThatDiffersOnlyInItsHighlightsCountsAsSet )
{
   host::View& hv = m_host.Windows().CreateView( "user", 512, 512, 1, ColorSpace::Gray, 32, true );
   hv.SetScreenTransferFunction( 0, host_stf{ 0.5, 0, 0.9, 0, 1 } );
   Stretching<FloatPixelTraits> s( hv );
   reference::FillRandom( s.image, 0.0, 1.0, 3 );
   const GenericImage<FloatPixelTraits> before = GenericImage<FloatPixelTraits>::OwnedCopy( s.image );

   EXPECT_FALSE( s.m.IsSTFIdentity( s.view ) );
   s.Stretch();
   EXPECT_EQ( ConsoleLines(), std::vector<std::string>{ UserLine } );
   // Statistics are still asked for, and so computed by the host.
   EXPECT_EQ( hv.ComputationCount(), 1 );
   EXPECT_EQ( s.m.stf[0].HighlightsClipping(), 0.9 );
   s.m.DeStretchImage( s.image );
   for ( int y = 0; y < 512; y += 7 )
      for ( int x = 0; x < 512; x += 5 )
         ASSERT_EQ( s.image( x, y ), before( x, y ) ) << x << "," << y;
}

TEST_F( StretchTest, IdentityTestLooksAtTheImageChannelsOnly )
{
   host::View& hv = m_host.Windows().CreateView( "gray", 512, 512, 1, ColorSpace::Gray, 16, false );
   hv.SetScreenTransferFunction( 1, host_stf{ 0.3, 0, 1, 0, 1 } );
   hv.SetScreenTransferFunction( 2, host_stf{ 0.3, 0, 1, 0, 1 } );
   Stretching<UInt16PixelTraits> s( hv );
   EXPECT_TRUE( s.m.IsSTFIdentity( s.view ) );
   EXPECT_TRUE( hv.HasProperty( "Median" ) );
   EXPECT_TRUE( hv.HasProperty( "MAD" ) );
   s.m.numberOfChannels = 3;
   EXPECT_FALSE( s.m.IsSTFIdentity( s.view ) );
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
      host::View& hv = m_host.Windows().CreateView( "rgb" + std::to_string( P::BitsPerSample() ), 512, 512, 3, ColorSpace::RGB,
                                          P::BitsPerSample(), P::IsFloatSample() );
      for ( int c = 0; c < 3; ++c )
         hv.SetScreenTransferFunction( c, stf[c] );
      Stretching<P> s( hv );
      GenericImage<P>& image = s.image;
      reference::FillRandom( image, 0.0, 1.0, 5 );
      const GenericImage<P> before = GenericImage<P>::OwnedCopy( image );

      s.Stretch();
      // Without rescaling after the subtraction: x' = MTF(m, x - c0).
      EXPECT_NEAR( P::FromSample( image( 3, 4, 0 ) ),
                   HistogramTransformation::MTF( 0.3, P::FromSample( before( 3, 4, 0 ) ) - 0.1 ), tolerance );
      s.m.DeStretchImage( image );
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
   host::View& hv = m_host.Windows().CreateView( "complex", 512, 512, 1, ColorSpace::Gray, 32, true, true );
   pcl::View view( hv.Handle() );
   GenericImage<FloatPixelTraits> image( 512, 512, ColorSpace::Gray );
   DLModelBase m = reference::SystemModel( image );

   const std::string direct = ErrorOf( [&] { m.IsSTFIdentity( view ); } );
   EXPECT_EQ( direct, "Unable to compute or fetch the view property MAD: Cannot compute MAD of a complex image" );
   EXPECT_EQ( ConsoleText(), "" ); // the identity test writes nothing

   EXPECT_EQ( ErrorOf( [&] { m.StretchImage( image, view ); } ), direct );
   EXPECT_EQ( ConsoleLines(), std::vector<std::string>{ Critical } );
}

TEST_F( StretchTest, TooFewStatisticsOrTransferFunctionsAreRefused )
{
   host::View& hv = m_host.Windows().CreateView( "short", 512, 512, 3, ColorSpace::RGB, 32, true );
   hv.SetProperty( "Median", { 0.1, 0.1, 0.1 } );
   hv.SetProperty( "MAD", { 0.01 } );
   Stretching<FloatPixelTraits> s( hv );

   EXPECT_EQ( s.Failure(), "The view property MAD has 1 value(s) for an image of 3 channel(s)." );
   EXPECT_EQ( ConsoleLines(), ( std::vector<std::string>{ Warning1, Warning2, Critical } ) );

   hv.SetProperty( "MAD", { 0.01, 0.01, 0.01 } );
   hv.SetProperty( "Median", {} );
   HostConsole().ClearTranscript();
   EXPECT_EQ( s.Failure(), "The view property Median has 0 value(s) for an image of 3 channel(s)." );

   hv.SetProperty( "Median", { 0.1, 0.1, 0.1 } );
   s.m.stf = Array<HistogramTransformation>( 2, HistogramTransformation() );
   HostConsole().ClearTranscript();
   EXPECT_EQ( s.Failure(), "Missing screen transfer functions: 2 for an image of 3 channel(s)." );
   EXPECT_EQ( ConsoleLines(), std::vector<std::string>{ Critical } );

   s.m.stf.Clear();
   EXPECT_EQ( ErrorOf( [&] { s.m.DeStretchImage( s.image ); } ),
              "Missing screen transfer functions: 0 for an image of 3 channel(s)." );
}

} // namespace
