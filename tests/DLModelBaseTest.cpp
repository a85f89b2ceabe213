// The model record: image properties, tile set-up, report lines and the
// console graphic.
#include "HostFixture.h"

#include "framework/DLModelBase.h"
#include "tests/ErrorOf.h"

#include <type_traits>

using namespace pcl;

namespace
{

class DLModelBaseTest : public HostTest
{
protected:
   // As the concrete model configures it.
   DLModelBase Model( int window = 512, int stride = 480 )
   {
      DLModelBase m;
      m.windowSize = window;
      m.batchSize = 1;
      m.stride = stride;
      m.margin = ( window - stride ) / 2;
      return m;
   }
};

// Concrete models are destroyed through the base.
static_assert( std::has_virtual_destructor_v<DLModelBase> );

TEST_F( DLModelBaseTest, ReportAndRecord )
{
   DLModelBase m = Model();
   GenericImage<FloatPixelTraits> image( 1000, 700, ColorSpace::RGB );
   m.ReadImageProps( image, true );

   EXPECT_EQ( m.numberOfChannels, 3 );
   EXPECT_EQ( m.width, 1000 );
   EXPECT_EQ( m.height, 700 );
   EXPECT_EQ( m.colorSpace, 1 );
   EXPECT_EQ( m.bitsPerSample, 32 );
   EXPECT_FALSE( m.hasAlpha );
   EXPECT_TRUE( m.isFloatSample );
   EXPECT_EQ( m.margin, 16 );
   EXPECT_EQ( m.paddedWidth, 1472 );
   EXPECT_EQ( m.paddedHeight, 992 );
   EXPECT_EQ( m.padLeft, 16 );
   EXPECT_EQ( m.padRight, 456 );
   EXPECT_EQ( m.padTop, 16 );
   EXPECT_EQ( m.padBottom, 276 );
   EXPECT_EQ( m.tileCount, 6 );
   EXPECT_EQ( m.geometry.tileCount, 6 );

   const std::vector<std::string> expected = {
      "Window size: 512",      "Stride: 480",         "Image size: 1000x700",    "Number of channels: 3",
      "Color space: RGB",      "Bits per sample: 32", "Has alpha channels: false", "Float sample: true",
   };
   EXPECT_EQ( ConsoleLines(), expected );

   HostConsole().ClearTranscript();
   GenericImage<UInt16PixelTraits> gray( 512, 512, ColorSpace::Gray );
   m.ReadImageProps( gray, true );
   EXPECT_EQ( ConsoleLines(), ( std::vector<std::string>{ "Window size: 512", "Stride: 480", "Image size: 512x512",
                                                          "Number of channels: 1", "Color space: Grayscale",
                                                          "Bits per sample: 16", "Has alpha channels: false",
                                                          "Float sample: false" } ) );
   EXPECT_EQ( m.tileCount, 4 );
}

TEST_F( DLModelBaseTest, PixelTypeProperties )
{
   auto check = [&]<class P>( P, int bits, bool isFloat ) {
      DLModelBase m = Model();
      GenericImage<P> image( 512, 512, ColorSpace::RGB );
      m.ReadImageProps( image, false );
      EXPECT_EQ( m.bitsPerSample, bits );
      EXPECT_EQ( m.isFloatSample, isFloat );
   };
   check( FloatPixelTraits(), 32, true );
   check( DoublePixelTraits(), 64, true );
   check( UInt8PixelTraits(), 8, false );
   check( UInt16PixelTraits(), 16, false );
   check( UInt32PixelTraits(), 32, false );
   DLModelBase m = Model( 512, 512 ); // a stride equal to the window stays
   GenericImage<FloatPixelTraits> image( 1000, 700, ColorSpace::RGB );
   m.ReadImageProps( image, false );
   EXPECT_EQ( m.stride, 512 );
   EXPECT_EQ( ConsoleText(), "" ) << "not verbose, stride fits: nothing written";
}

TEST_F( DLModelBaseTest, Refusals )
{
   const struct
   {
      int width, height, channels, colorSpace;
      const char* message;
   } cases[] = {
      // The colour space is checked first, and the record is written before the checks.
      { 100, 100, 3, ColorSpace::CIELab, "Only RGB and Greyscale images are supported!" },
      { 600, 600, 4, ColorSpace::RGB, "Weird number of channels: 4! Should be 1 or 3!" },
      { 600, 600, 2, ColorSpace::Gray, "Weird number of channels: 2! Should be 1 or 3!" },
      // Two of three channels alpha: later steps would take them for colour channels.
      { 600, 600, 3, ColorSpace::Gray,
        "Unsupported channel layout: 3 channels in a Grayscale image! Alpha channels are not supported." },
      { 511, 1000, 1, ColorSpace::Gray, "Minimum image size is 512x512!" },
      { 1000, 511, 3, ColorSpace::RGB, "Minimum image size is 512x512!" },
   };
   for ( const auto& c : cases )
   {
      DLModelBase m = Model();
      GenericImage<FloatPixelTraits> image;
      image.AllocateData( c.width, c.height, c.channels, c.colorSpace );
      EXPECT_EQ( ErrorOf( [&] { m.ReadImageProps( image, true ); } ), c.message );
      EXPECT_EQ( m.width, c.width );
      EXPECT_EQ( m.colorSpace, c.colorSpace );
      EXPECT_EQ( m.hasAlpha, c.channels > 3 || ( c.channels > 1 && c.colorSpace == ColorSpace::Gray ) );
   }
   EXPECT_EQ( ConsoleText(), "" ) << "a refused image is not reported";
}

TEST_F( DLModelBaseTest, StrideAboveWindowIsLowered )
{
   DLModelBase m = Model( 512, 600 );
   GenericImage<FloatPixelTraits> image( 1000, 700, ColorSpace::RGB );
   m.ReadImageProps( image, true );
   EXPECT_EQ( m.stride, 512 );
   EXPECT_EQ( m.margin, 0 );
   EXPECT_EQ( m.paddedWidth, 1024 );
   EXPECT_EQ( m.paddedHeight, 1024 );
   EXPECT_EQ( m.padLeft, 0 );
   EXPECT_EQ( m.padRight, 24 );
   EXPECT_EQ( m.padTop, 0 );
   EXPECT_EQ( m.padBottom, 324 );
   EXPECT_EQ( m.tileCount, 4 );
   std::vector<std::string> lines = ConsoleLines();
   ASSERT_EQ( lines.size(), 10u );
   EXPECT_EQ( lines[0], "\033[35mStride value should be at most 512!\033[39m" );
   EXPECT_EQ( lines[1], "\033[35mSetting stride to 512\033[39m" );
   EXPECT_EQ( lines[3], "Stride: 512" );
}

TEST_F( DLModelBaseTest, CoffeeCup )
{
   DLModelBase m;
   m.PrintCoffeeGraphic();
   std::vector<std::string> lines = ConsoleLines();
   ASSERT_EQ( lines.size(), 13u );
   EXPECT_EQ( lines.front(), "<end><cbr><br>" );
   EXPECT_EQ( lines.back(), "<end><cbr><br>" );

   const char* colours[] = { "\033[1;38;2;226;10;10m", "\033[1;38;2;226;10;10m",  "\033[1;38;2;205;10;49m",
                             "\033[1;38;2;183;10;96m", "\033[1;38;2;162;10;140m", "\033[1;38;2;140;10;183m",
                             "\033[1;38;2;118;10;226m", "\033[1;38;2;118;10;226m", "\033[1;38;2;118;10;226m",
                             "\033[1;38;2;118;10;226m", "\033[1;38;2;118;10;226m" };
   const size_t lengths[] = { 15, 15, 17, 16, 19, 20, 20, 20, 21, 21, 20 };
   const size_t blanks[] = { 4, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2 };
   const std::string reset = "\033[39;21m";
   int letters = 0;
   for ( int k = 0; k < 11; ++k )
   {
      SCOPED_TRACE( k + 1 );
      const std::string& line = lines[k + 1];
      const std::string colour = colours[k];
      ASSERT_GT( line.size(), colour.size() + reset.size() );
      EXPECT_EQ( line.substr( 0, colour.size() ), colour );
      EXPECT_EQ( line.substr( line.size() - reset.size() ), reset );
      const std::string picture = line.substr( colour.size(), line.size() - colour.size() - reset.size() );
      EXPECT_EQ( picture.size(), lengths[k] );
      const size_t lastInk = picture.find_last_not_of( ' ' );
      ASSERT_NE( lastInk, std::string::npos );
      EXPECT_EQ( picture.size() - 1 - lastInk, blanks[k] );
      for ( char c : picture )
      {
         EXPECT_TRUE( c >= 32 && c < 127 );
         letters += std::isalpha( static_cast<unsigned char>( c ) ) ? 1 : 0;
      }
   }
   EXPECT_GT( letters, 0 ) << "the handle";
}

} // namespace
