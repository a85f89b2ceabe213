// The platform stand-in: pixel traits, image arithmetic, histogram
// transformations, strings, console and files.
#include "HostFixture.h"

#include "platform/Console.h"
#include "platform/File.h"
#include "platform/GenericImage.h"
#include "platform/HistogramTransformation.h"
#include "platform/View.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>

using namespace pcl;

namespace
{

const double NaN = std::numeric_limits<double>::quiet_NaN();

TEST( PixelTraits, IntegerSamplesReadAsFractionsOfTheirMaximum )
{
   EXPECT_EQ( UInt8PixelTraits::FromSample( 255 ), 1.0 );
   EXPECT_EQ( UInt16PixelTraits::FromSample( 65535 ), 1.0 );
   EXPECT_EQ( UInt32PixelTraits::FromSample( 4294967295u ), 1.0 );
   EXPECT_EQ( UInt16PixelTraits::FromSample( 32768 ), 32768.0 / 65535 );
   EXPECT_EQ( FloatPixelTraits::FromSample( 1.5f ), 1.5 );
}

TEST( PixelTraits, IntegerStoreRoundsToNearestTiesToEven )
{
   // 0.5/255 and 1.5/255 lie exactly between two samples.
   EXPECT_EQ( UInt8PixelTraits::ToSample( 0.5 / 255 ), 0 );
   EXPECT_EQ( UInt8PixelTraits::ToSample( 1.5 / 255 ), 2 );
   EXPECT_EQ( UInt8PixelTraits::ToSample( 2.5 / 255 ), 2 );
   EXPECT_EQ( UInt8PixelTraits::ToSample( 2.6 / 255 ), 3 );
   EXPECT_EQ( UInt16PixelTraits::ToSample( 0.5 ), 32768 ); // 32767.5
   EXPECT_EQ( UInt32PixelTraits::ToSample( 0.5 ), 2147483648u );
   for ( int i = 0; i <= 65535; i += 97 )
      ASSERT_EQ( UInt16PixelTraits::ToSample( UInt16PixelTraits::FromSample( uint16_t( i ) ) ), i );
}

TEST( PixelTraits, IntegerStoreClampsOutsideTheUnitRange )
{
   EXPECT_EQ( UInt8PixelTraits::ToSample( -0.2 ), 0 );
   EXPECT_EQ( UInt8PixelTraits::ToSample( 1.7 ), 255 );
   EXPECT_EQ( UInt16PixelTraits::ToSample( 1e300 ), 65535 );
   EXPECT_EQ( UInt32PixelTraits::ToSample( 2.0 ), 4294967295u );
   EXPECT_EQ( UInt32PixelTraits::ToSample( NaN ), 0u );
}

TEST( PixelTraits, FloatingStoreIsACast )
{
   EXPECT_EQ( FloatPixelTraits::ToSample( 1.5 ), 1.5f );
   EXPECT_EQ( FloatPixelTraits::ToSample( -0.25 ), -0.25f );
   EXPECT_EQ( FloatPixelTraits::ToSample( 0.1 ), 0.1f );
   EXPECT_EQ( DoublePixelTraits::ToSample( 2.0 ), 2.0 );
}

TEST( ImageArithmetic, IntegerAddAndSubtractClampToTheSampleRange )
{
   GenericImage<UInt16PixelTraits> image( 2, 1 );
   image( 0, 0 ) = 100;
   image( 1, 0 ) = 65000;
   image.Subtract( 200.0 / 65535 );
   EXPECT_EQ( image( 0, 0 ), 0 );
   EXPECT_EQ( image( 1, 0 ), 64800 );
   image.Add( 1000.0 / 65535 );
   EXPECT_EQ( image( 0, 0 ), 1000 );
   EXPECT_EQ( image( 1, 0 ), 65535 );
   // A fraction of a sample rounds to nearest.
   image.Subtract( 0.6 / 65535 );
   EXPECT_EQ( image( 0, 0 ), 999 );
}

TEST( ImageArithmetic, FloatingAddAndSubtractDoNotClamp )
{
   GenericImage<FloatPixelTraits> image( 1, 1 );
   image( 0, 0 ) = 0.1f;
   image.Subtract( 0.3 );
   EXPECT_FLOAT_EQ( image( 0, 0 ), -0.2f );
   image.Add( 1.5 );
   EXPECT_FLOAT_EQ( image( 0, 0 ), 1.3f );
}

TEST( ImageArithmetic, OperationsActOnTheSelection )
{
   GenericImage<DoublePixelTraits> image( 3, 2, ColorSpace::RGB );
   image = 0.5;
   image.SelectChannel( 1 );
   image.Add( 0.25 );
   image.Truncate( 0.0, 0.6 );
   EXPECT_EQ( image( 2, 1, 0 ), 0.5 );
   EXPECT_EQ( image( 2, 1, 1 ), 0.6 );
   EXPECT_EQ( image( 2, 1, 2 ), 0.5 );
   // An explicit channel range overrides the selection.
   image.Add( 0.1, Rect(), 2, 2 );
   EXPECT_EQ( image( 0, 0, 2 ), 0.6 );
   image.ResetSelections();
   image = 0.0;
   EXPECT_EQ( image( 1, 1, 1 ), 0.0 );
}

TEST( ImageArithmetic, TruncateSwapsReversedBoundsAndKeepsNaN )
{
   GenericImage<DoublePixelTraits> image( 4, 1 );
   image( 0, 0 ) = -1;
   image( 1, 0 ) = 0.5;
   image( 2, 0 ) = 3;
   image( 3, 0 ) = NaN;
   image.Truncate( 1, 0 );
   EXPECT_EQ( image( 0, 0 ), 0.0 );
   EXPECT_EQ( image( 1, 0 ), 0.5 );
   EXPECT_EQ( image( 2, 0 ), 1.0 );
   EXPECT_TRUE( std::isnan( image( 3, 0 ) ) );
}

TEST( ImageArithmetic, ScalarTimesImageIsACopyRoundedWithinTheType )
{
   GenericImage<UInt8PixelTraits> image( 2, 1 );
   image( 0, 0 ) = 3;
   image( 1, 0 ) = 255;
   GenericImage<UInt8PixelTraits> half = 0.5 * image;
   EXPECT_EQ( half( 0, 0 ), 2 ); // 1.5 rounds to even
   EXPECT_EQ( half( 1, 0 ), 128 ); // 127.5 rounds to even
   EXPECT_EQ( image( 0, 0 ), 3 ) << "the source is not changed";
}

TEST( ImageArithmetic, SumAndAssignmentAcrossPixelTypes )
{
   GenericImage<UInt16PixelTraits> a( 2, 1 );
   a( 0, 0 ) = 65535;
   a( 1, 0 ) = 0;
   GenericImage<DoublePixelTraits> b( 2, 1 );
   b( 0, 0 ) = 0.25;
   b( 1, 0 ) = 0.5;
   GenericImage<DoublePixelTraits> s = b + a;
   EXPECT_EQ( s( 0, 0 ), 1.25 );
   EXPECT_EQ( s( 1, 0 ), 0.5 );
   EXPECT_EQ( b( 0, 0 ), 0.25 );

   GenericImage<UInt16PixelTraits> back;
   back = s;
   EXPECT_EQ( back( 0, 0 ), 65535 ); // clamped
   EXPECT_EQ( back( 1, 0 ), 32768 ); // 32767.5 to even
   GenericImage<FloatPixelTraits> f;
   f = s;
   EXPECT_EQ( f.Width(), 2 );
   EXPECT_EQ( f( 0, 0 ), 1.25f );
}

TEST( ImageArithmetic, CopiesShareUntilChanged )
{
   GenericImage<DoublePixelTraits> a( 2, 2 );
   a = 0.25;
   GenericImage<DoublePixelTraits> b( a );
   EXPECT_TRUE( b.SharesDataWith( a ) );
   b.Add( 0.5 );
   EXPECT_FALSE( b.SharesDataWith( a ) );
   EXPECT_EQ( a( 1, 1 ), 0.25 );
   EXPECT_EQ( b( 1, 1 ), 0.75 );
}

TEST( ImageArithmetic, CropByCutsAndExtends )
{
   GenericImage<DoublePixelTraits> image( 4, 3, ColorSpace::RGB );
   for ( int c = 0; c < 3; ++c )
      for ( int y = 0; y < 3; ++y )
         for ( int x = 0; x < 4; ++x )
            image( x, y, c ) = c * 100 + y * 10 + x;
   GenericImage<DoublePixelTraits> cut( image );
   cut.CropBy( -1, -1, -1, 0 );
   ASSERT_EQ( cut.Width(), 2 );
   ASSERT_EQ( cut.Height(), 2 );
   EXPECT_EQ( cut( 0, 0, 2 ), 211 );
   EXPECT_EQ( cut( 1, 1, 0 ), 22 );
   EXPECT_EQ( image( 0, 0, 0 ), 0 ) << "the uncropped copy keeps its pixels";

   GenericImage<DoublePixelTraits> own = GenericImage<DoublePixelTraits>::OwnedCopy( image );
   own.CropBy( -2, -1, -1, -1 ); // in place: nothing else shares these pixels
   ASSERT_EQ( own.Width(), 1 );
   ASSERT_EQ( own.Height(), 1 );
   EXPECT_EQ( own( 0, 0, 0 ), 12 );
   EXPECT_EQ( own( 0, 0, 2 ), 212 );

   image.CropBy( 1, 0, 0, 1 );
   ASSERT_EQ( image.Width(), 5 );
   ASSERT_EQ( image.Height(), 4 );
   EXPECT_EQ( image( 0, 0, 1 ), 0 );
   EXPECT_EQ( image( 1, 0, 1 ), 100 );
   EXPECT_EQ( image( 4, 2, 1 ), 123 );
   EXPECT_EQ( image( 4, 3, 1 ), 0 );
}

TEST( ImageArithmetic, SampleIteratorReadsOneChannelRowByRow )
{
   GenericImage<UInt8PixelTraits> image( 2, 2, ColorSpace::RGB );
   image( 1, 0, 2 ) = 7;
   image( 0, 1, 2 ) = 9;
   std::vector<int> seen;
   for ( GenericImage<UInt8PixelTraits>::const_sample_iterator i( image, 2 ); i; ++i )
      seen.push_back( *i );
   EXPECT_EQ( seen, ( std::vector<int>{ 0, 7, 9, 0 } ) );
}

TEST( HistogramTransformation, ConstructorRules )
{
   HistogramTransformation ht( 1.5, 0.8, 0.2, 0.3, 0.7 );
   EXPECT_EQ( ht.MidtonesBalance(), 1.0 );
   EXPECT_EQ( ht.ShadowsClipping(), 0.2 );
   EXPECT_EQ( ht.HighlightsClipping(), 0.8 );
   EXPECT_EQ( ht.LowRange(), 0.0 );
   EXPECT_EQ( ht.HighRange(), 1.0 );
   HistogramTransformation clamped( -1, -0.5, 2, -0.5, 2 );
   EXPECT_EQ( clamped.MidtonesBalance(), 0.0 );
   EXPECT_EQ( clamped.ShadowsClipping(), 0.0 );
   EXPECT_EQ( clamped.HighlightsClipping(), 1.0 );
   EXPECT_EQ( clamped.LowRange(), -0.5 );
   EXPECT_EQ( clamped.HighRange(), 2.0 );
}

TEST( HistogramTransformation, IdentityIsExact )
{
   EXPECT_TRUE( HistogramTransformation().IsIdentityTransformation() );
   EXPECT_FALSE( HistogramTransformation( 0.5, 0, 0.99 ).IsIdentityTransformation() );
   EXPECT_FALSE( HistogramTransformation( 0.5, 0, 1, -0.1 ).IsIdentityTransformation() );
   EXPECT_FALSE( HistogramTransformation( 0.5000001 ).IsIdentityTransformation() );
}

TEST( HistogramTransformation, MidtonesTransferEndCases )
{
   EXPECT_EQ( HistogramTransformation::MTF( 0.3, 0.0 ), 0.0 );
   EXPECT_EQ( HistogramTransformation::MTF( 0.3, -0.1 ), 0.0 );
   EXPECT_EQ( HistogramTransformation::MTF( 0.3, NaN ), 0.0 );
   EXPECT_EQ( HistogramTransformation::MTF( 0.3, 1.0 ), 1.0 );
   EXPECT_EQ( HistogramTransformation::MTF( 0.3, 1.5 ), 1.0 );
   EXPECT_EQ( HistogramTransformation::MTF( 0.0, 0.2 ), 1.0 );
   EXPECT_EQ( HistogramTransformation::MTF( 1.0, 0.2 ), 0.0 );
   EXPECT_DOUBLE_EQ( HistogramTransformation::MTF( 0.5, 0.2 ), 0.2 );
   EXPECT_DOUBLE_EQ( HistogramTransformation::MTF( 0.2, 0.2 ), 0.5 ) << "m maps to one half";
   // The balance 1 - m inverts the transfer with m.
   for ( double x : { 0.01, 0.3, 0.77 } )
      EXPECT_NEAR( HistogramTransformation::MTF( 0.9, HistogramTransformation::MTF( 0.1, x ) ), x, 1e-15 );
}

TEST( HistogramTransformation, StagesInOrder )
{
   GenericImage<DoublePixelTraits> image( 5, 1 );
   const double in[] = { 0.1, 0.2, 0.5, 0.8, 0.9 };
   for ( int x = 0; x < 5; ++x )
      image( x, 0 ) = in[x];
   HistogramTransformation ht( 0.25, 0.2, 0.8, -0.5, 1.0 );
   ht >> image;
   for ( int x = 0; x < 5; ++x )
   {
      double v = in[x] <= 0.2 ? 0 : in[x] >= 0.8 ? 1 : ( in[x] - 0.2 ) / 0.6;
      v = HistogramTransformation::MTF( 0.25, v );
      v = ( v + 0.5 ) / 1.5;
      EXPECT_DOUBLE_EQ( image( x, 0 ), v ) << x;
   }
}

TEST( HistogramTransformation, WithoutActiveStagesNothingChanges )
{
   GenericImage<FloatPixelTraits> image( 2, 1 );
   image( 0, 0 ) = -0.5f;
   image( 1, 0 ) = 1.5f;
   HistogramTransformation() >> image;
   EXPECT_EQ( image( 0, 0 ), -0.5f );
   EXPECT_EQ( image( 1, 0 ), 1.5f );
}

TEST( HistogramTransformation, ActsOnTheSelectedChannelOfALargeImage )
{
   // Large enough to be shared among worker threads.
   GenericImage<UInt16PixelTraits> image( 700, 600, ColorSpace::RGB );
   for ( int c = 0; c < 3; ++c )
      for ( int y = 0; y < 600; ++y )
         for ( int x = 0; x < 700; ++x )
            image( x, y, c ) = uint16_t( ( x * 31 + y * 17 + c ) % 65536 );
   image.SelectChannel( 1 );
   HistogramTransformation ht( 0.1 );
   ht >> image;
   for ( int y = 0; y < 600; y += 7 )
      for ( int x = 0; x < 700; x += 3 )
      {
         uint16_t s = uint16_t( ( x * 31 + y * 17 + 1 ) % 65536 );
         ASSERT_EQ( image( x, y, 1 ),
                    UInt16PixelTraits::ToSample( HistogramTransformation::MTF( 0.1, UInt16PixelTraits::FromSample( s ) ) ) );
         ASSERT_EQ( image( x, y, 0 ), uint16_t( ( x * 31 + y * 17 ) % 65536 ) );
      }
}

TEST( String, NumbersBooleansAndFormat )
{
   EXPECT_EQ( String( 512 ), String( "512" ) );
   EXPECT_EQ( String( -3 ), String( "-3" ) );
   EXPECT_EQ( String( true ), String( "true" ) );
   EXPECT_EQ( String( false ), String( "false" ) );
   EXPECT_EQ( String::Format( "Processing %d image tiles", 117 ), String( "Processing 117 image tiles" ) );
   EXPECT_EQ( ( "a" + String( 1 ) + "b" ).ToStdUTF8(), "a1b" );
   EXPECT_EQ( String( "\xC3\xA9\xF0\x9F\x98\x80" ).Length(), 3u ) << "UTF-8 read as 16-bit characters";
   EXPECT_EQ( String( "\xC3\xA9\xF0\x9F\x98\x80" ).ToStdUTF8(), "\xC3\xA9\xF0\x9F\x98\x80" );
}

class PlatformHostTest : public HostTest
{
};

TEST_F( PlatformHostTest, ConsoleColoursWarningsAndCriticalLines )
{
   Console::Write( "a" );
   Console::WriteLn( "b" );
   Console::WarningLn( "careful" );
   Console::CriticalLn( "broken" );
   EXPECT_EQ( ConsoleText(), "ab\n\033[35mcareful\033[39m\n\033[31mbroken\033[39m\n" );
}

TEST_F( PlatformHostTest, ViewImageSharesTheHostsPixels )
{
   host::View& hv = m_host.CreateView( "v", 3, 2, 3, ColorSpace::RGB, 16, false );
   View view( hv.Handle() );
   ImageVariant variant = view.Image();
   ASSERT_FALSE( variant.IsFloatSample() );
   ASSERT_EQ( variant.BitsPerSample(), 16 );
   GenericImage<UInt16PixelTraits>& image = variant.Image<UInt16PixelTraits>();
   image( 2, 1, 2 ) = 1234;
   EXPECT_EQ( hv.Samples<uint16_t>( 2 )[5], 1234 );

   // Assignment writes into the host's pixels, converted.
   GenericImage<DoublePixelTraits> result( 3, 2, ColorSpace::RGB );
   result = 1.0;
   image = result;
   EXPECT_EQ( hv.Samples<uint16_t>( 0 )[0], 65535 );
   EXPECT_EQ( hv.Samples<uint16_t>( 2 )[5], 65535 );

   // A new geometry goes through the host.
   GenericImage<DoublePixelTraits> gray( 4, 4, ColorSpace::Gray );
   image = gray;
   EXPECT_EQ( hv.Width(), 4 );
   EXPECT_EQ( hv.NumberOfChannels(), 1 );
   EXPECT_EQ( image.Width(), 4 );
}

TEST_F( PlatformHostTest, ScalarTimesViewImageLeavesTheViewAlone )
{
   host::View& hv = m_host.CreateView( "v", 2, 1, 1, ColorSpace::Gray, 32, true );
   hv.Samples<float>( 0 )[0] = 0.5f;
   ImageVariant variant = View( hv.Handle() ).Image();
   GenericImage<FloatPixelTraits> scaled = 0.5 * variant.Image<FloatPixelTraits>();
   EXPECT_EQ( scaled( 0, 0 ), 0.25f );
   EXPECT_EQ( hv.Samples<float>( 0 )[0], 0.5f );
}

TEST_F( PlatformHostTest, ScreenTransferFunctionsComeFromTheHost )
{
   host::View& hv = m_host.CreateView( "v", 2, 2, 3, ColorSpace::RGB, 32, true );
   hv.SetScreenTransferFunction( 1, host_stf{ 0.25, 0.1, 0.9, 0, 1 } );
   Array<HistogramTransformation> stf;
   View( hv.Handle() ).GetScreenTransferFunctions( stf );
   ASSERT_EQ( stf.Length(), 4u );
   EXPECT_TRUE( stf[0].IsIdentityTransformation() );
   EXPECT_EQ( stf[1].MidtonesBalance(), 0.25 );
   EXPECT_EQ( stf[1].ShadowsClipping(), 0.1 );
   EXPECT_EQ( stf[1].HighlightsClipping(), 0.9 );
}

TEST_F( PlatformHostTest, UnknownPropertyFailsWithTheHostsReason )
{
   host::View& hv = m_host.CreateView( "v", 2, 2, 1, ColorSpace::Gray, 32, true );
   View view( hv.Handle() );
   try
   {
      view.ComputeOrFetchProperty( "Noise" );
      FAIL();
   }
   catch ( const Error& e )
   {
      EXPECT_EQ( e.Message().ToStdUTF8(),
                 "Unable to compute or fetch the view property Noise: Unknown view property: Noise" );
   }
   EXPECT_EQ( view.ComputeOrFetchProperty( "Median" ).ToDVector().size(), 1u );
}

class FileTest : public ::testing::Test
{
protected:
   void SetUp() override
   {
      m_dir = std::filesystem::temp_directory_path() /
              ( "velqora-file-test-" + std::to_string( ::testing::UnitTest::GetInstance()->random_seed() ) +
                ::testing::UnitTest::GetInstance()->current_test_info()->name() );
      std::filesystem::create_directories( m_dir );
   }
   void TearDown() override { std::filesystem::remove_all( m_dir ); }

   std::string Path( const char* name ) const { return ( m_dir / name ).string(); }

   std::filesystem::path m_dir;
};

TEST_F( FileTest, ExistsOnlyForRegularFiles )
{
   std::ofstream( Path( "f" ) ) << "x";
   std::filesystem::create_directory( Path( "d" ) );
   EXPECT_TRUE( File::Exists( Path( "f" ) ) );
   EXPECT_FALSE( File::Exists( Path( "d" ) ) );
   EXPECT_FALSE( File::Exists( Path( "missing" ) ) );
   try
   {
      File::Exists( "" );
      FAIL();
   }
   catch ( const Error& e )
   {
      EXPECT_EQ( e.Message(), String( "Invalid or empty file name" ) );
   }
}

TEST_F( FileTest, ReadFileGivesEveryByte )
{
   std::string bytes( 200000, '\0' );
   for ( size_t i = 0; i < bytes.size(); ++i )
      bytes[i] = char( i * 7 );
   std::ofstream( Path( "f" ), std::ios::binary ) << bytes;
   ByteArray read = File::ReadFile( Path( "f" ) );
   ASSERT_EQ( read.Size(), bytes.size() );
   EXPECT_EQ( std::memcmp( read.Begin(), bytes.data(), bytes.size() ), 0 );

   std::ofstream( Path( "empty" ) );
   EXPECT_EQ( File::ReadFile( Path( "empty" ) ).Size(), 0u );
}

TEST_F( FileTest, ReadFileFailures )
{
   auto message = [&]( const std::string& path ) {
      try
      {
         File::ReadFile( path );
      }
      catch ( const Error& e )
      {
         return e.Message().ToStdUTF8();
      }
      return std::string( "read" );
   };
   EXPECT_EQ( message( Path( "missing" ) ), Path( "missing" ) + ": Unable to open file: No such file or directory" );
   std::filesystem::create_directory( Path( "d" ) );
   EXPECT_EQ( message( Path( "d" ) ), Path( "d" ) + ": Not a regular file" );
   EXPECT_EQ( message( "" ), "Invalid or empty file name" );
}

TEST( Array, ReleaseHandsOverTheBlock )
{
   ByteArray a;
   a.Add( 1 );
   a.Add( 2 );
   ByteArray shared( a );
   uint8_t* block = a.Release();
   ASSERT_NE( block, nullptr );
   EXPECT_EQ( block[1], 2 );
   EXPECT_TRUE( a.IsEmpty() );
   EXPECT_EQ( shared.Length(), 2u ) << "a sharing copy keeps its elements";
   EXPECT_NE( shared.Begin(), block );
   StandardAllocator::DeallocateBlock( block );
}

} // namespace
