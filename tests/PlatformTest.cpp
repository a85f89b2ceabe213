// The platform stand-in: pixel traits, image arithmetic, histogram
// transformations, strings, files, threads and memory. Views are in
// HostServicesTest.
#include "platform/image/ColorSpace.h"
#include "platform/boundary/Console.h"
#include "platform/core/File.h"
#include "platform/image/GenericImage.h"
#include "platform/image/HistogramTransformation.h"
#include "platform/core/Parallel.h"
#include "platform/core/Utf16.h"
#include "platform/image/SampleBlock.h"
#include "tests/ErrorOf.h"
#include "tests/ScratchDirectory.h"

#include <atomic>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <initializer_list>
#include <limits>
#include <vector>

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

// A one-row image of the given samples, and an image's samples channel by
// channel, row by row.
template <class P>
GenericImage<P> Row( std::initializer_list<double> samples )
{
   GenericImage<P> image( int( samples.size() ), 1 );
   int x = 0;
   for ( double s : samples )
      image( x++, 0 ) = typename P::sample( s );
   return image;
}

template <class P>
std::vector<double> Samples( const GenericImage<P>& image )
{
   std::vector<double> samples;
   for ( int c = 0; c < image.NumberOfChannels(); ++c )
      for ( int y = 0; y < image.Height(); ++y )
         for ( int x = 0; x < image.Width(); ++x )
            samples.push_back( image( x, y, c ) );
   return samples;
}

using Values = std::vector<double>;

TEST( ImageArithmetic, IntegerAddAndSubtractRoundAndClampFloatingDoNot )
{
   auto image = Row<UInt16PixelTraits>( { 100, 65000 } );
   image.Subtract( 200.0 / 65535 );
   EXPECT_EQ( Samples( image ), ( Values{ 0, 64800 } ) );
   image.Add( 1000.0 / 65535 );
   EXPECT_EQ( Samples( image ), ( Values{ 1000, 65535 } ) );
   image.Subtract( 0.6 / 65535 );
   EXPECT_EQ( Samples( image ), ( Values{ 999, 65534 } ) ) << "a fraction of a sample rounds to nearest";

   auto floating = Row<FloatPixelTraits>( { 0.1 } );
   floating.Subtract( 0.3 );
   floating.Add( 1.5 );
   EXPECT_FLOAT_EQ( floating( 0, 0 ), 1.3f ) << "neither -0.2 nor 1.3 is clamped";
}

TEST( HistogramTransformation, ConstructorClampsAndOrders )
{
   auto state = []( const HistogramTransformation& h ) {
      return Values{ h.MidtonesBalance(), h.ShadowsClipping(), h.HighlightsClipping(), h.LowRange(), h.HighRange() };
   };
   // Everything but the range clamped to [0, 1], clipping points in order; the
   // range only ever widens [0, 1].
   EXPECT_EQ( state( HistogramTransformation( 1.5, 0.8, 0.2, 0.3, 0.7 ) ), ( Values{ 1, 0.2, 0.8, 0, 1 } ) );
   EXPECT_EQ( state( HistogramTransformation( -1, -0.5, 2, -0.5, 2 ) ), ( Values{ 0, 0, 1, -0.5, 2 } ) );
   EXPECT_TRUE( HistogramTransformation().IsIdentityTransformation() );
   EXPECT_FALSE( HistogramTransformation( 0.5, 0, 1, -0.1 ).IsIdentityTransformation() );
   EXPECT_FALSE( HistogramTransformation( 0.5000001 ).IsIdentityTransformation() );
}

TEST( HistogramTransformation, MidtonesTransferEndCases )
{
   const double cases[][3] = { // m, x, MTF
      { 0.3, 0, 0 }, { 0.3, -0.1, 0 }, { 0.3, NaN, 0 }, { 0.3, 1, 1 }, { 0.3, 1.5, 1 },
      { 0, 0.2, 1 }, { 1, 0.2, 0 }, { 0.5, 0.2, 0.2 }, { 0.2, 0.2, 0.5 } };
   for ( const auto& c : cases )
      EXPECT_DOUBLE_EQ( HistogramTransformation::MTF( c[0], c[1] ), c[2] ) << c[0] << ", " << c[1];
   // The balance 1 - m inverts the transfer with m.
   for ( double x : { 0.01, 0.3, 0.77 } )
      EXPECT_NEAR( HistogramTransformation::MTF( 0.9, HistogramTransformation::MTF( 0.1, x ) ), x, 1e-15 );
}

TEST( HistogramTransformation, StagesInOrder )
{
   const double in[] = { 0.1, 0.2, 0.5, 0.8, 0.9 };
   auto image = Row<DoublePixelTraits>( { in[0], in[1], in[2], in[3], in[4] } );
   HistogramTransformation( 0.25, 0.2, 0.8, -0.5, 1.0 ) >> image;
   for ( int x = 0; x < 5; ++x )
   {
      const double clipped = in[x] <= 0.2 ? 0 : in[x] >= 0.8 ? 1 : ( in[x] - 0.2 ) / 0.6;
      EXPECT_DOUBLE_EQ( image( x, 0 ), ( HistogramTransformation::MTF( 0.25, clipped ) + 0.5 ) / 1.5 ) << x;
   }
   // Without active stages nothing changes, not even samples outside [0, 1].
   auto outside = Row<FloatPixelTraits>( { -0.5, 1.5 } );
   HistogramTransformation() >> outside;
   EXPECT_EQ( Samples( outside ), ( Values{ -0.5, 1.5 } ) );
}

TEST( String, FormatAndUtf8 )
{
   EXPECT_EQ( String::Format( "Processing %d image tiles", 117 ), String( "Processing 117 image tiles" ) );
   EXPECT_EQ( ( "a" + String( -1 ) + "b" + String( true ) + String( false ) ).ToStdUTF8(), "a-1btruefalse" );
   EXPECT_EQ( String( "\xC3\xA9\xF0\x9F\x98\x80" ).Length(), 3u ) << "UTF-8 read as 16-bit characters";
   EXPECT_EQ( String( "\xC3\xA9\xF0\x9F\x98\x80" ).ToStdUTF8(), "\xC3\xA9\xF0\x9F\x98\x80" );
}

// Each maximal subpart of a malformed sequence becomes one U+FFFD; the bounds
// of each length come through unchanged, both ways.
TEST( String, Utf8MalformedBecomesOneReplacementPerMaximalSubpart )
{
   const std::u16string R = u"\uFFFD";
   const struct
   {
      std::string utf8;
      std::u16string utf16;
   } cases[] = {
      { "\x7F\xC2\x80\xDF\xBF", u"\u007F\u0080\u07FF" },
      { "\xE0\xA0\x80\xED\x9F\xBF\xEE\x80\x80\xEF\xBF\xBF", u"\u0800\uD7FF\uE000\uFFFF" },
      { "\xF0\x90\x80\x80\xF4\x8F\xBF\xBF", u"\U00010000\U0010FFFF" },
      { "\xC0\xAF", R + R },                         // overlong '/'
      { "\xC1\xBF", R + R },                         // overlong U+007F
      { "\xE0\x9F\xBF", R + R + R },                // overlong U+07FF
      { "\xF0\x8F\xBF\xBF", R + R + R + R },       // overlong U+FFFF
      { "\xF4\x90\x80\x80", R + R + R + R },       // U+110000
      { "\xF7\xBF\xBF\xBF", R + R + R + R },       // U+1FFFFF
      { "\xF8\x88\x80\x80\x80", R + R + R + R + R }, // five bytes
      { "\xED\xA0\x80", R + R + R },                // a surrogate
      { "\xED\xA0\x80\xED\xB0\x80", R + R + R + R + R + R },
      { "a\xE2\x82", u"a" + R },                      // truncated at the end
      { "\xF0\x9F\x98", R },
      { "\xE2\x82" "a\xF0\x9F\x98\xC3", R + u"a" + R + R },
      { "\x80\xBFx\xFE\xFF", R + R + u"x" + R + R }, // stray continuation and invalid bytes
      { "\xC3\xC3\xA9", R + u"\u00E9" },            // a lead byte cut short by another
      { "\xC3\xA9\x80", u"\u00E9" + R },            // a continuation byte too many
   };
   for ( const auto& c : cases )
   {
      EXPECT_EQ( utf::FromUTF8( c.utf8 ), c.utf16 ) << ::testing::PrintToString( c.utf8 );
      if ( c.utf16.find( R ) == std::u16string::npos )
      {
         EXPECT_EQ( utf::ToUTF8( c.utf16 ), c.utf8 );
      }
   }
   // A surrogate without its partner.
   const std::string r = "\xEF\xBF\xBD";
   for ( const auto& [utf16, utf8] : { std::pair<std::u16string, std::string>{ u"\xD800", r },
                                       { u"\xDC00" u"a", r + "a" },
                                       { u"\xD83Dx\xDE00", r + "x" + r },
                                       { u"\xDE00\xD83D", r + r },
                                       { u"\xD83D\xD83D\xDE00", r + "\xF0\x9F\x98\x80" } } )
      EXPECT_EQ( utf::ToUTF8( utf16 ), utf8 ) << ::testing::PrintToString( utf8 );
}

TEST( File, ExistsAndReadFile )
{
   ScratchDirectory dir;
   const std::string file = dir.Path() / "f", directory = dir.Path() / "d";
   std::string bytes( 200000, '\0' );
   for ( size_t i = 0; i < bytes.size(); ++i )
      bytes[i] = char( i * 7 );
   dir.Write( "f", bytes );
   std::filesystem::create_directory( directory );
   // A directory, a missing file and an empty name, as the weights' loader
   // meets them, are in DLModelTensorflowTest.
   EXPECT_TRUE( File::Exists( file ) );
   EXPECT_FALSE( File::Exists( directory ) );
   ByteArray read = File::ReadFile( file );
   ASSERT_EQ( read.Size(), bytes.size() );
   EXPECT_EQ( std::memcmp( read.Begin(), bytes.data(), bytes.size() ), 0 );
   EXPECT_EQ( File::ReadFile( dir.Write( "empty", "" ).string() ).Size(), 0u );
   EXPECT_EQ( ErrorOf( [&] { File::ReadFile( directory ); } ), directory + ": Not a regular file" );
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
