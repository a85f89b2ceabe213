// Whole denoise runs on a host view, with the real TensorFlow library and
// graphs made for the test. Runs against the straightforward pipeline, bit
// for bit, are in PipelineTest.
#include "HostFixture.h"

#include "module/VelqoraTensorflow.h"
#include "tests/InstalledModule.h"
#include "platform/boundary/HostCall.h"
#include "platform/image/StandardStatus.h"
#include "tests/ErrorOf.h"
#include "tests/ScratchDirectory.h"
#include "tools/GraphWriter.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <limits>
#include <optional>
#include <string>
#include <thread>
#include <vector>

using namespace pcl;
using project_pelk::graphs::GraphKind;
using project_pelk::graphs::GraphParameters;
using project_pelk::graphs::WriteGraphFile;

namespace
{

// Runs each test in a directory of its own, where the weights files are
// found under their bare names.
class EngineTest : public HostTest
{
protected:
   void Weights( GraphKind kind, const GraphParameters& parameters = {}, const char* name = "Velqora_weights_v2.pb" )
   {
      WriteGraphFile( name, kind, parameters );
   }

   template <class P>
   void Run( host::View& v, const VelqoraInstance& instance )
   {
      View view( v.Handle() );
      ImageVariant variant = view.Image();
      VelqoraEngine::Apply<P>( variant.Image<P>(), view, instance );
   }

   template <class P>
   std::string Failure( host::View& v, const VelqoraInstance& instance )
   {
      return ErrorOf( [&] { Run<P>( v, instance ); } );
   }

   static std::vector<std::vector<char>> Snapshot( const host::View& v )
   {
      std::vector<std::vector<char>> s;
      for ( int c = 0; c < v.NumberOfChannels(); ++c )
      {
         const char* p = v.Samples<char>( c );
         s.emplace_back( p, p + v.BytesPerChannel() );
      }
      return s;
   }

   // Every step-th sample of every channel against the value expected from the
   // sample before the run, both read as normalised values.
   template <class P, class F>
   static void ExpectSamples( const host::View& v, const std::vector<std::vector<char>>& before, size_t step,
                              double tolerance, F expected )
   {
      for ( int c = 0; c < v.NumberOfChannels(); ++c )
      {
         const auto* was = reinterpret_cast<const typename P::sample*>( before[c].data() );
         const auto* now = v.Samples<typename P::sample>( c );
         for ( size_t i = 0; i < size_t( v.Width() ) * v.Height(); i += step )
            ASSERT_NEAR( P::FromSample( now[i] ), expected( P::FromSample( was[i] ), c ), tolerance ) << c << ", " << i;
      }
   }

   static VelqoraInstance Instance( bool linear, double amount = 1.0 )
   {
      VelqoraInstance instance = DefaultInstance();
      instance.linear = linear;
      instance.amount = amount;
      return instance;
   }

   ScratchDirectory m_dir;
   WorkingDirectory m_cwd{ m_dir.Path() };
};

// The identity network reproduces the image, within the sample type's
// rounding; an affine one is truncated to the unit range. Every pixel type
// and the strength mix are checked against the straightforward pipeline in
// PipelineTest.
TEST_F( EngineTest, NetworkOutputIsTruncatedToTheUnitRange )
{
   auto check = [&]<class P>( P, GraphKind kind ) {
      SCOPED_TRACE( P::BitsPerSample() );
      Weights( kind, { .scale = 1.5f, .offset = -0.1f } );
      host::View& v = PatternView<P>( 600, 530, ColorSpace::RGB );
      const std::vector<std::vector<char>> before = Snapshot( v );
      Run<P>( v, Instance( false ) );
      int clippedLow = 0, clippedHigh = 0;
      ExpectSamples<P>( v, before, 1, 1e-6, [&]( double x, int ) {
         if ( kind == GraphKind::Identity )
            return x;
         const double expected = std::clamp( 1.5 * double( float( x ) ) - 0.1, 0.0, 1.0 );
         clippedLow += expected == 0.0;
         clippedHigh += expected == 1.0;
         return expected;
      } );
      EXPECT_EQ( clippedLow > 0 && clippedHigh > 0, kind == GraphKind::Affine ) << "both ends reached";
      EXPECT_TRUE( ConsoleText().ends_with( "Done!\n" ) );
   };
   check( UInt8PixelTraits(), GraphKind::Identity );
   check( DoublePixelTraits(), GraphKind::Affine );
}

// What runs write besides the banner and the image report, in order: S the
// start, V the version, W the automatic stretch's two warnings, U the user's
// function, H a histogram transformation's progress, R the checkpoint, P the
// tiles' progress, D done. In linear mode the transformations of the stretch
// and of the destretch frame the tiles, one for each channel whose midtones
// transfer is not the identity.
TEST_F( EngineTest, TranscriptsOfSmallRuns )
{
   Weights( GraphKind::Identity );
   const std::pair<std::string, char> kinds[] = {
      { "<end><cbr>Starting denoising procedure...", 'S' },
      { "Model version: 2", 'V' },
      { "\033[35mWarning: `Linear data` option is enabled, but STF is an identity function!\033[39m", 'W' },
      { "\033[35mUsing Auto Stretch to transform the image!\033[39m", 'W' },
      { "Using STF parameters set by user to stretch the image", 'U' },
      { "<end><cbr>Histogram transformation:   0%", 'H' },
      { "Restoring neural network checkpoint... ", 'R' },
      { "<end><cbr>Processing 4 image tiles:   0%", 'P' },
      { "Done!", 'D' },
   };
   const struct
   {
      int colorSpace;
      bool linear;
      std::optional<host_stf> stf;
      const char* transcript;
   } cases[] = {
      { ColorSpace::RGB, false, std::nullopt, "SVRPD" },
      { ColorSpace::RGB, true, std::nullopt, "SVWWHHHRPHHHD" },
      { ColorSpace::Gray, true, std::nullopt, "SVWWHRPHD" },
      // A shadows clipping alone is a subtraction: no transformation.
      { ColorSpace::RGB, true, host_stf{ 0.5, 0.1, 1, 0, 1 }, "SVURPD" },
   };
   for ( const auto& c : cases )
   {
      host::View& v = PatternView<UInt16PixelTraits>( 512, 512, c.colorSpace, c.stf );
      HostConsole().ClearTranscript();
      // As the host runs it: the image reports to the standard status.
      View view( v.Handle() );
      ASSERT_TRUE( Instance( c.linear ).ExecuteOn( view ) );
      std::string transcript;
      int others = 0;
      for ( const std::string& line : ConsoleLines() )
      {
         const auto* kind = std::find_if( std::begin( kinds ), std::end( kinds ), [&]( const auto& k ) {
            return line.starts_with( k.first ) && ( k.first.ends_with( "0%" ) ? line.ends_with( "done" ) : line == k.first );
         } );
         if ( kind != std::end( kinds ) )
            transcript += kind->second;
         else
            ++others;
      }
      EXPECT_EQ( transcript, c.transcript );
      EXPECT_EQ( others, 16 ) << "the banner and the report";
   }
}

// An abort requested as the destretch shows its progress, after the tiles,
// ends the run there and leaves the view's pixels as they were.
TEST_F( EngineTest, AbortAtTheDestretchLeavesTheImageAsItWas )
{
   Weights( GraphKind::Identity );
   // The standard status, asking for an abort as the given report of a
   // histogram transformation begins.
   struct AbortingStatus : StandardStatus
   {
      AbortingStatus( host::Console& console_, int at_ ) : console( console_ ), at( at_ ) {}
      host::Console& console;
      int at;
      mutable int seen = 0;
      int Initialized( const StatusMonitor& monitor ) const override
      {
         if ( monitor.Info() == String( "Histogram transformation" ) && ++seen == at )
            console.RequestAbort();
         return StandardStatus::Initialized( monitor );
      }
   };
   auto check = [&]<class P>( P, int colorSpace, int at ) {
      SCOPED_TRACE( at );
      host::View& v = PatternView<P>( 512, 512, colorSpace );
      const std::vector<std::vector<char>> before = Snapshot( v );
      HostConsole().ClearTranscript();
      AbortingStatus status( HostConsole(), at );
      View view( v.Handle() );
      ImageVariant variant = view.Image();
      variant.SetStatusCallback( &status );
      const bool completed =
         HostCall( [&] { VelqoraEngine::Apply<P>( variant.Image<P>(), view, Instance( true ) ); } );
      HostConsole().ClearAbortRequest();
      EXPECT_FALSE( completed );
      EXPECT_EQ( status.seen, at );
      const std::vector<std::string> lines = ConsoleLines();
      EXPECT_TRUE( std::any_of( lines.begin(), lines.end(), []( const std::string& line ) {
         return line.starts_with( "<end><cbr>Processing 4 image tiles" ) && line.ends_with( "done" );
      } ) ) << "after the tiles";
      EXPECT_EQ( ConsoleText().find( "Done!" ), std::string::npos );
      EXPECT_TRUE( Snapshot( v ) == before );
   };
   check( FloatPixelTraits(), ColorSpace::RGB, 4 );
   check( UInt16PixelTraits(), ColorSpace::Gray, 2 );
}

// The banner opens every run and the coffee cup is drawn for 400 tiles or
// more, once the session exists and before the tiles are counted; each line
// whole, in its colour. A pending abort ends the run as the count starts.
TEST_F( EngineTest, BannerAndCoffeeCupForLongRuns )
{
   Weights( GraphKind::Identity );
   const std::string reset = "\033[39;21m";
   const std::vector<std::string> banner = {
      "<end><cbr><br>",
      "\033[1;38;2;226;10;10m" R"(       __      __  _                               )" + reset,
      "\033[1;38;2;205;10;49m" R"(       \ \    / /__| | __ _  ___  _ __ __ _        )" + reset,
      "\033[1;38;2;183;10;96m" R"(        \ \  / / _ \ |/ _` |/ _ \| '__/ _` |       )" + reset,
      "\033[1;38;2;162;10;140m" R"(         \ \/ /  __/ | (_| | (_) | | | (_| |       )" + reset,
      "\033[1;38;2;140;10;183m" R"(          \__/ \___|_|\__, |\___/|_|  \__,_|       )" + reset,
      "\033[1;38;2;118;10;226m" R"(                         |_|                       )" + reset,
      "<end><cbr><br>",
      "<end><cbr>Starting denoising procedure...",
      "Model version: 2",
   };
   const std::vector<std::string> cup = {
      "<end><cbr><br>",
      "\033[1;38;2;226;10;10m" R"(        ( )    )" + reset,
      "\033[1;38;2;226;10;10m" R"(      (  )  ( ))" + reset,
      "\033[1;38;2;205;10;49m" R"(        )  ( ) (()" + reset,
      "\033[1;38;2;183;10;96m" R"(       (  ) ) )))" + reset,
      "\033[1;38;2;162;10;140m" R"(    ______________ )" + reset,
      "\033[1;38;2;140;10;183m" R"(  C |/\/\/\/\/\/\/| )" + reset,
      "\033[1;38;2;118;10;226m" R"(  C |\/\/\/\/\/\/\| )" + reset,
      "\033[1;38;2;118;10;226m" R"(  C |             | )" + reset,
      "\033[1;38;2;118;10;226m" R"(    \_____________/  )" + reset,
      "\033[1;38;2;118;10;226m" R"(    `-------------'  )" + reset,
      "\033[1;38;2;118;10;226m" R"(  ~~~~~~~~~~~~~~~~  )" + reset,
      "<end><cbr><br>",
   };
   const struct
   {
      int width, height, tiles;
      bool cup;
   } cases[] = { { 512, 512, 4, false }, { 10080, 9120, 399, false }, { 9600, 9600, 400, true } };
   for ( const auto& c : cases )
   {
      host::View& v = m_host.Windows().CreateView( "long", c.width, c.height, 1, ColorSpace::Gray, 8, false );
      HostConsole().ClearTranscript();
      HostConsole().RequestAbort();
      EXPECT_EQ( Failure<UInt8PixelTraits>( v, Instance( false ) ), "Process aborted" );
      const std::vector<std::string> lines = ConsoleLines();
      auto shows = [&]( const std::vector<std::string>& block ) {
         return std::search( lines.begin(), lines.end(), block.begin(), block.end() ) != lines.end();
      };
      std::vector<std::string> start = { "Restoring neural network checkpoint... " };
      if ( c.cup )
         start.insert( start.end(), cup.begin(), cup.end() );
      start.push_back( "<end><cbr>Processing " + std::to_string( c.tiles ) + " image tiles:   0%" );
      EXPECT_TRUE( shows( banner ) ) << c.tiles << " tiles";
      EXPECT_TRUE( shows( start ) ) << c.tiles << " tiles";
      m_host.Windows().CloseView( "long" );
   }
   HostConsole().ClearAbortRequest();
}

// The instance hands the image its status callback: an abort pending as the
// run starts ends it in the stretch, before any weights are read, and the
// image stays as it was.
TEST_F( EngineTest, AnAbortEndsTheRunInTheStretch )
{
   Weights( GraphKind::Identity );
   host::View& v = PatternView<FloatPixelTraits>( 512, 512, ColorSpace::RGB, host_stf{ 0.2, 0.1, 1, 0, 1 } );
   const std::vector<std::vector<char>> before = Snapshot( v );
   HostConsole().RequestAbort();
   View view( v.Handle() );
   EXPECT_EQ( ErrorOf( [&] { Instance( true ).ExecuteOn( view ); } ), "Process aborted" );
   HostConsole().ClearAbortRequest();
   EXPECT_NE( ConsoleText().find( "<end><cbr>Histogram transformation:   0%" ), std::string::npos );
   EXPECT_EQ( ConsoleText().find( "Restoring neural network checkpoint" ), std::string::npos );
   EXPECT_TRUE( Snapshot( v ) == before );
}

// Index 1 means version 1, which reads its own weights and takes RGB images
// only: a grayscale one is refused after the report, before anything changes
// or any weights are read. Every other index means version 2.
TEST_F( EngineTest, ModelIndexChoosesTheVersionAndItsWeights )
{
   Weights( GraphKind::Identity );
   Weights( GraphKind::Affine, { .scale = 0, .offset = 0.25f }, "Velqora_weights_v1.pb" );
   const struct
   {
      int model, colorSpace;
      bool linear;
      const char* version;
      const char* message;
   } cases[] = {
      { 0, ColorSpace::Gray, false, "Model version: 2", "no error" },
      { 2, ColorSpace::Gray, false, "Model version: 2", "no error" },
      { 1, ColorSpace::RGB, false, "Model version: 1", "no error" },
      { 1, ColorSpace::Gray, false, "Model version: 1", "This model version only supports RGB images!" },
      { 1, ColorSpace::Gray, true, "Model version: 1", "This model version only supports RGB images!" },
   };
   for ( const auto& c : cases )
   {
      SCOPED_TRACE( c.model );
      host::View& v = PatternView<UInt16PixelTraits>( 512, 700, c.colorSpace );
      const std::vector<std::vector<char>> before = Snapshot( v );
      VelqoraInstance instance = Instance( c.linear );
      instance.model = c.model;
      HostConsole().ClearTranscript();
      EXPECT_EQ( Failure<UInt16PixelTraits>( v, instance ), c.message );
      // Version 2's network gives the image back (three equal channels are
      // averaged back), version 1's a constant.
      if ( c.model == 1 && c.colorSpace == ColorSpace::RGB )
         ExpectSamples<UInt16PixelTraits>( v, before, 97, 1e-4, []( double, int ) { return 0.25; } );
      else
         EXPECT_TRUE( Snapshot( v ) == before );
      const std::vector<std::string> lines = ConsoleLines();
      EXPECT_NE( std::find( lines.begin(), lines.end(), c.version ), lines.end() );
      EXPECT_EQ( ConsoleText().find( "Restoring neural network checkpoint" ) != std::string::npos,
                 c.message == std::string( "no error" ) );
   }
}

TEST_F( EngineTest, RefusedGraphsAndOutputsLeaveTheImageAsItWas )
{
   const struct
   {
      GraphKind kind;
      const char* message;
   } cases[] = {
      { GraphKind::NaN, "Model output contains a non-finite sample at tile 0." },
      { GraphKind::WrongType, "Velqora TensorFlow inference failed: output tensor has element type double, expected float." },
      { GraphKind::WrongShape, "Velqora TensorFlow inference failed: output tensor has shape [1, 512, 512, 1], expected [1, 512, 512, 3]." },
      // The right byte count, the wrong layout.
      { GraphKind::Transposed, "Velqora TensorFlow inference failed: output tensor has shape [1, 3, 512, 512], expected [1, 512, 512, 3]." },
      { GraphKind::TwiceAsWide, "Velqora TensorFlow inference failed: output tensor has shape [1, 1024, 512, 3], expected [1, 512, 512, 3]." },
      { GraphKind::TwiceTheBatch, "Velqora TensorFlow inference failed: output tensor has shape [2, 512, 512, 3], expected [1, 512, 512, 3]." },
      { GraphKind::NoIdentity, "TensorFlow graph does not contain required operation: Identity" },
      { GraphKind::IntIntro, "TensorFlow graph input operation intro has element type int32, expected float." },
      { GraphKind::SmallIntro, "TensorFlow graph input operation intro has shape [?, 256, 256, 3], which conflicts with [1, 512, 512, 3]." },
   };
   host::View& v = PatternView<FloatPixelTraits>( 512, 512, ColorSpace::RGB );
   const std::vector<std::vector<char>> before = Snapshot( v );
   for ( const auto& c : cases )
   {
      Weights( c.kind );
      for ( int linear : { 0, 1 } )
      {
         EXPECT_EQ( Failure<FloatPixelTraits>( v, Instance( linear ) ), c.message ) << "linear " << linear;
         EXPECT_TRUE( Snapshot( v ) == before ) << c.message << ", linear " << linear;
      }
   }
}

// Parameter values that would destroy the image, and source samples that no
// network output can make sense of, are refused before anything is changed.
// The automatic stretch's two inputs are refused only where it is used: in
// linear mode on a view without a screen transfer function of its own.
TEST_F( EngineTest, BadParametersAndSourcesAreRefusedBeforeAnythingChanges )
{
   Weights( GraphKind::Identity );
   const double nan = std::numeric_limits<double>::quiet_NaN();
   const double inf = std::numeric_limits<double>::infinity();
   const struct
   {
      double amount, shadowsClipping, targetBackground, sample;
      const char* message;
      bool automaticStretchOnly = false;
   } cases[] = {
      { nan, -2.8, 0.25, 0.5, "Invalid amount: nan! Should be between 0 and 1!" },
      { inf, -2.8, 0.25, 0.5, "Invalid amount: inf! Should be between 0 and 1!" },
      { -0.5, -2.8, 0.25, 0.5, "Invalid amount: -0.5! Should be between 0 and 1!" },
      { 1.0000000000000002, -2.8, 0.25, 0.5, "Invalid amount: 1.0000000000000002! Should be between 0 and 1!" },
      { 1, nan, 0.25, 0.5, "Invalid shadows_clipping: nan! Should be a finite number!", true },
      { 1, -inf, 0.25, 0.5, "Invalid shadows_clipping: -inf! Should be a finite number!", true },
      { 1, -2.8, 0, 0.5, "Invalid target_background: 0! Should be greater than 0 and less than 1!", true },
      { 1, -2.8, 1, 0.5, "Invalid target_background: 1! Should be greater than 0 and less than 1!", true },
      { 1, -2.8, nan, 0.5, "Invalid target_background: nan! Should be greater than 0 and less than 1!", true },
      { 1, -2.8, 0.25, nan, "Velqora source image contains non-finite sample values." },
      { 1, -2.8, 0.25, inf, "Velqora source image contains non-finite sample values." },
      { 1, -2.8, 0.25, -inf, "Velqora source image contains non-finite sample values." },
   };
   host::View& automatic = PatternView<DoublePixelTraits>( 512, 512, ColorSpace::RGB );
   host::View& user = PatternView<DoublePixelTraits>( 512, 512, ColorSpace::RGB, host_stf{ 0.3, 0.05, 1, 0, 1 } );
   const struct
   {
      bool linear;
      host::View& view;
      bool automaticStretch;
   } modes[] = { { false, automatic, false }, { true, automatic, true }, { true, user, false } };
   for ( const auto& c : cases )
      for ( const auto& mode : modes )
      {
         host::View& v = mode.view;
         v.Samples<double>( 2 )[512 * 512 - 1] = c.sample;
         const std::vector<std::vector<char>> before = Snapshot( v );
         VelqoraInstance instance = Instance( mode.linear, c.amount );
         instance.shadowsClipping = c.shadowsClipping;
         instance.targetBackground = c.targetBackground;
         const bool refused = !c.automaticStretchOnly || mode.automaticStretch;
         EXPECT_EQ( Failure<DoublePixelTraits>( v, instance ), refused ? c.message : "no error" )
            << c.message << ", linear " << mode.linear << ", automatic stretch " << mode.automaticStretch;
         if ( refused )
         {
            EXPECT_TRUE( Snapshot( v ) == before ) << c.message << ", linear " << mode.linear;
         }
      }
}

TEST_F( EngineTest, AbortDuringTheTileLoopShowsNothingAndRestores )
{
   Weights( GraphKind::Network );
   for ( int linear : { 0, 1 } )
   {
      host::View& v = PatternView<FloatPixelTraits>( 1000, 1000, ColorSpace::RGB );
      std::vector<std::vector<char>> before = Snapshot( v );
      HostConsole().ClearTranscript();
      HostConsole().ClearAbortRequest();
      // The user presses abort once the tiles are being processed.
      std::atomic<bool> stop = false;
      std::thread user( [&] {
         while ( !stop && ConsoleText().find( "Processing 9 image tiles" ) == std::string::npos )
            std::this_thread::sleep_for( std::chrono::milliseconds( 1 ) );
         HostConsole().RequestAbort();
      } );
      // Run as the host runs it: a failure is reported, not thrown.
      const bool completed = HostCall( [&] { Run<FloatPixelTraits>( v, Instance( linear ) ); } );
      stop = true;
      user.join();
      EXPECT_FALSE( completed );
      EXPECT_EQ( ConsoleText().find( "Error" ), std::string::npos ) << "an abort is not shown";
      EXPECT_EQ( ConsoleText().find( "Done!" ), std::string::npos );
      EXPECT_TRUE( Snapshot( v ) == before ) << "linear " << linear;
   }
   HostConsole().ClearAbortRequest();
}

} // namespace
