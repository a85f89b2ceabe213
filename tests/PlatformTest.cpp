// The platform stand-in: pixel traits, image arithmetic, histogram
// transformations, strings, console and files.
#include "HostFixture.h"

#include "platform/core/Console.h"
#include "platform/core/File.h"
#include "platform/image/GenericImage.h"
#include "platform/image/HistogramTransformation.h"
#include "platform/core/Parallel.h"
#include "platform/image/SampleBlock.h"
#include "platform/image/View.h"
#include "tests/ErrorOf.h"
#include "tests/ScratchDirectory.h"

#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>
#include <atomic>

using namespace pcl;

namespace
{

const double NaN = std::numeric_limits<double>::quiet_NaN();

TEST( PixelTraits, IntegerStoreRoundsToNearestTiesToEvenAndClamps )
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
   EXPECT_EQ( UInt8PixelTraits::ToSample( -0.2 ), 0 );
   EXPECT_EQ( UInt8PixelTraits::ToSample( 1.7 ), 255 );
   EXPECT_EQ( UInt16PixelTraits::ToSample( 1e300 ), 65535 );
   EXPECT_EQ( UInt32PixelTraits::ToSample( 2.0 ), 4294967295u );
   EXPECT_EQ( UInt32PixelTraits::ToSample( NaN ), 0u );
}

TEST( ImageArithmetic, IntegerAddAndSubtractClampFloatingDoNot )
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

   GenericImage<FloatPixelTraits> floating( 1, 1 );
   floating( 0, 0 ) = 0.1f;
   floating.Subtract( 0.3 );
   EXPECT_FLOAT_EQ( floating( 0, 0 ), -0.2f );
   floating.Add( 1.5 );
   EXPECT_FLOAT_EQ( floating( 0, 0 ), 1.3f );
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

TEST( ImageArithmetic, ScalarTimesImageSumAndAssignmentAcrossPixelTypes )
{
   GenericImage<UInt8PixelTraits> image( 2, 1 );
   image( 0, 0 ) = 3;
   image( 1, 0 ) = 255;
   GenericImage<UInt8PixelTraits> half = 0.5 * image;
   EXPECT_EQ( half( 0, 0 ), 2 ); // 1.5 rounds to even
   EXPECT_EQ( half( 1, 0 ), 128 ); // 127.5 rounds to even
   EXPECT_EQ( image( 0, 0 ), 3 ) << "the source is not changed";

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
   EXPECT_TRUE( HistogramTransformation().IsIdentityTransformation() );
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
   // Without active stages nothing changes, not even samples outside [0, 1].
   GenericImage<FloatPixelTraits> outside( 2, 1 );
   outside( 0, 0 ) = -0.5f;
   outside( 1, 0 ) = 1.5f;
   HistogramTransformation() >> outside;
   EXPECT_EQ( outside( 0, 0 ), -0.5f );
   EXPECT_EQ( outside( 1, 0 ), 1.5f );
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

TEST_F( HostTest, ViewImageSharesTheHostsPixels )
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

   // k * image is a copy: the view stays as it is.
   GenericImage<UInt16PixelTraits> scaled = 0.5 * image;
   EXPECT_EQ( scaled( 0, 0 ), 32768 );
   EXPECT_EQ( hv.Samples<uint16_t>( 0 )[0], 65535 );

   // A new geometry goes through the host.
   GenericImage<DoublePixelTraits> gray( 4, 4, ColorSpace::Gray );
   image = gray;
   EXPECT_EQ( hv.Width(), 4 );
   EXPECT_EQ( hv.NumberOfChannels(), 1 );
   EXPECT_EQ( image.Width(), 4 );
}

TEST( File, ExistsAndReadFile )
{
   ScratchDirectory dir;
   const std::string file = dir.Path() / "f", directory = dir.Path() / "d", missing = dir.Path() / "missing";
   std::string bytes( 200000, '\0' );
   for ( size_t i = 0; i < bytes.size(); ++i )
      bytes[i] = char( i * 7 );
   dir.Write( "f", bytes );
   std::filesystem::create_directory( directory );
   EXPECT_TRUE( File::Exists( file ) );
   EXPECT_FALSE( File::Exists( directory ) );
   EXPECT_FALSE( File::Exists( missing ) );
   EXPECT_EQ( ErrorOf( [] { File::Exists( "" ); } ), "Invalid or empty file name" );

   ByteArray read = File::ReadFile( file );
   ASSERT_EQ( read.Size(), bytes.size() );
   EXPECT_EQ( std::memcmp( read.Begin(), bytes.data(), bytes.size() ), 0 );
   EXPECT_EQ( File::ReadFile( dir.Write( "empty", "" ).string() ).Size(), 0u );
   EXPECT_EQ( ErrorOf( [&] { File::ReadFile( missing ); } ), missing + ": Unable to open file: No such file or directory" );
   EXPECT_EQ( ErrorOf( [&] { File::ReadFile( directory ); } ), directory + ": Not a regular file" );
   EXPECT_EQ( ErrorOf( [] { File::ReadFile( "" ); } ), "Invalid or empty file name" );
}

TEST( Parallel, EveryIndexOnceWhateverTheSplit )
{
   for ( size_t count : { size_t( 0 ), size_t( 1 ), size_t( 7 ), size_t( 1000 ), size_t( 100003 ) } )
   {
      std::vector<std::atomic<int>> visits( count );
      pcl::ParallelFor( count, 3, [&]( size_t first, size_t end ) {
         for ( size_t k = first; k < end; ++k )
            ++visits[k];
      } );
      for ( size_t k = 0; k < count; ++k )
         ASSERT_EQ( visits[k], 1 ) << count << " " << k;
   }
}

TEST( SampleBlock, LargeAndSmallBlocksComeZeroed )
{
   for ( size_t bytes : { size_t( 100 ), size_t( 64 ) << 20 } )
   {
      pcl::SampleBlock block( bytes, true );
      const auto* p = static_cast<const unsigned char*>( block.Get() );
      ASSERT_NE( p, nullptr );
      for ( size_t k = 0; k < bytes; k += 4093 )
         ASSERT_EQ( p[k], 0 ) << bytes << " " << k;
      EXPECT_EQ( p[bytes - 1], 0 );
   }
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
