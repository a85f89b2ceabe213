// The model record: image properties, tile set-up and report lines.
#include "HostFixture.h"

#include "framework/DLModelBase.h"
#include "tests/ErrorOf.h"

#include <array>
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

   // The record's image properties are the report's; the tile set-up is the geometry's.
   EXPECT_EQ( ( std::array{ m.margin, m.paddedWidth, m.paddedHeight, m.padLeft, m.padRight, m.padTop, m.padBottom,
                            m.tileCount, m.geometry.tileCount } ),
              ( std::array{ 16, 1472, 992, 16, 456, 16, 276, 6, 6 } ) );
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

TEST_F( DLModelBaseTest, StrideEqualToTheWindowStaysAndNothingIsWrittenUnlessVerbose )
{
   DLModelBase m = Model( 512, 512 );
   GenericImage<UInt8PixelTraits> image( 1000, 700, ColorSpace::RGB );
   m.ReadImageProps( image, false );
   EXPECT_EQ( m.stride, 512 );
   EXPECT_EQ( m.bitsPerSample, 8 );
   EXPECT_FALSE( m.isFloatSample );
   EXPECT_EQ( ConsoleText(), "" );
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
   EXPECT_EQ( m.geometry.stride, 512 );
   EXPECT_EQ( m.tileCount, 4 );
   EXPECT_EQ( ConsoleLines(), ( std::vector<std::string>{
                                 "\033[35mStride value should be at most 512!\033[39m",
                                 "\033[35mSetting stride to 512\033[39m", "Window size: 512", "Stride: 512",
                                 "Image size: 1000x700", "Number of channels: 3", "Color space: RGB",
                                 "Bits per sample: 32", "Has alpha channels: false", "Float sample: true" } ) );
}

} // namespace
