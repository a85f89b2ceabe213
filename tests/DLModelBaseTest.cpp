// The model record: image properties, tile set-up, report lines and the
// console graphic.
#include "HostFixture.h"

#include "framework/DLModelBase.h"
#include "platform/Exception.h"

#include <memory>

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

   template <class P>
   std::string Refusal( DLModelBase& m, GenericImage<P>& image )
   {
      try
      {
         m.ReadImageProps( image, true );
      }
      catch ( const Error& e )
      {
         return e.Message().ToStdUTF8();
      }
      return "accepted";
   }
};

TEST_F( DLModelBaseTest, NewModelHasZeroGeometryAndNoStretch )
{
   DLModelBase m;
   EXPECT_EQ( m.geometry.tileCount, 0 );
   EXPECT_EQ( m.geometry.paddedWidth, 0 );
   EXPECT_TRUE( m.stf.IsEmpty() );
   m.PrintIntroGraphic();
   EXPECT_EQ( ConsoleText(), "" );
   EXPECT_EQ( m.GetBasePath(), String( "/opt/PixInsight/bin/" ) );
}

TEST_F( DLModelBaseTest, FloatRgbReportAndRecord )
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
}

TEST_F( DLModelBaseTest, Gray16Report )
{
   DLModelBase m = Model();
   GenericImage<UInt16PixelTraits> image( 512, 512, ColorSpace::Gray );
   m.ReadImageProps( image, true );
   std::vector<std::string> lines = ConsoleLines();
   ASSERT_EQ( lines.size(), 8u );
   EXPECT_EQ( lines[3], "Number of channels: 1" );
   EXPECT_EQ( lines[4], "Color space: Grayscale" );
   EXPECT_EQ( lines[5], "Bits per sample: 16" );
   EXPECT_EQ( lines[7], "Float sample: false" );
   EXPECT_EQ( m.tileCount, 4 );
   EXPECT_EQ( m.padRight, 464 );
   EXPECT_EQ( m.padBottom, 464 );
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
   EXPECT_EQ( ConsoleText(), "" ) << "not verbose, stride fits: nothing written";
}

TEST_F( DLModelBaseTest, RefusesTooSmallImages )
{
   for ( auto [w, h] : { std::pair{ 511, 1000 }, { 1000, 511 } } )
      for ( int cs : { ColorSpace::Gray, ColorSpace::RGB } )
      {
         DLModelBase m = Model();
         GenericImage<FloatPixelTraits> image( w, h, cs );
         EXPECT_EQ( Refusal( m, image ), "Minimum image size is 512x512!" );
      }
   EXPECT_EQ( ConsoleText(), "" ) << "a refused image is not reported";
}

TEST_F( DLModelBaseTest, RefusesOtherColorSpacesFirst )
{
   DLModelBase m = Model();
   GenericImage<FloatPixelTraits> image( 100, 100, ColorSpace::CIELab );
   EXPECT_EQ( Refusal( m, image ), "Only RGB and Greyscale images are supported!" );
   // The record is written before the checks.
   EXPECT_EQ( m.width, 100 );
   EXPECT_EQ( m.colorSpace, int( ColorSpace::CIELab ) );
}

TEST_F( DLModelBaseTest, RefusesAlphaChannels )
{
   DLModelBase m = Model();
   GenericImage<FloatPixelTraits> rgba;
   rgba.AllocateData( 600, 600, 4, ColorSpace::RGB );
   EXPECT_EQ( Refusal( m, rgba ), "Weird number of channels: 4! Should be 1 or 3!" );
   EXPECT_TRUE( m.hasAlpha );

   GenericImage<FloatPixelTraits> grayAlpha;
   grayAlpha.AllocateData( 600, 600, 2, ColorSpace::Gray );
   EXPECT_EQ( Refusal( m, grayAlpha ), "Weird number of channels: 2! Should be 1 or 3!" );

   // Three channels in all, but two of them alpha: later steps would treat
   // them as colour channels of a one-channel working image.
   GenericImage<FloatPixelTraits> grayTwoAlpha;
   grayTwoAlpha.AllocateData( 600, 600, 3, ColorSpace::Gray );
   EXPECT_EQ( Refusal( m, grayTwoAlpha ),
              "Unsupported channel layout: 3 channels in a Grayscale image! Alpha channels are not supported." );
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

TEST_F( DLModelBaseTest, StrideEqualToWindowStays )
{
   DLModelBase m = Model( 512, 512 );
   GenericImage<FloatPixelTraits> image( 1000, 700, ColorSpace::RGB );
   m.ReadImageProps( image, false );
   EXPECT_EQ( m.stride, 512 );
   EXPECT_EQ( ConsoleText(), "" );
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

class Concrete : public DLModelBase
{
public:
   explicit Concrete( int* destroyed ) : m_destroyed( destroyed ) {}
   ~Concrete() override { *m_destroyed += 1; }

private:
   int* m_destroyed;
};

TEST_F( DLModelBaseTest, DestroyedThroughTheBase )
{
   int destroyed = 0;
   {
      std::unique_ptr<DLModelBase> m = std::make_unique<Concrete>( &destroyed );
      m->stf.Add( HistogramTransformation() );
   }
   EXPECT_EQ( destroyed, 1 );
}

} // namespace
