// Mirrored padding, crop back to the image size and the finiteness check.
#include "ReferencePipeline.h"

#include "framework/DLModelBase.h"
#include "platform/Exception.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>

using namespace pcl;

namespace
{

// Configured as the concrete model does, then set up for the image.
template <class P>
DLModelBase ModelFor( GenericImage<P>& image, int window = 512, int stride = 480 )
{
   DLModelBase m;
   m.windowSize = window;
   m.batchSize = 1;
   m.stride = stride;
   m.margin = ( window - stride ) / 2;
   m.ReadImageProps( image, false );
   return m;
}

// Every sample different, and exactly representable in every pixel type.
template <class P>
GenericImage<P> NumberedImage( int width, int height, int colorSpace, unsigned seed = 1 )
{
   GenericImage<P> image( width, height, colorSpace );
   std::mt19937 rng( seed );
   std::uniform_real_distribution<double> u( 0.0, 1.0 );
   for ( int c = 0; c < image.NumberOfChannels(); ++c )
      for ( int y = 0; y < height; ++y )
         for ( int x = 0; x < width; ++x )
            image( x, y, c ) = P::ToSample( u( rng ) );
   return image;
}


template <class P>
void ExpectPaddingMatchesReference( int width, int height, int colorSpace )
{
   GenericImage<P> image = NumberedImage<P>( width, height, colorSpace );
   DLModelBase m = ModelFor( image );
   GenericImage<DoublePixelTraits> padded( m.paddedWidth, m.paddedHeight, colorSpace );
   GenericImage<DoublePixelTraits> expected( m.paddedWidth, m.paddedHeight, colorSpace );
   m.FillPaddedImage( image, padded );
   reference::FillPaddedImage( m, image, expected );
   EXPECT_TRUE( reference::SameBits( padded, expected ) ) << width << "x" << height << ", " << P::BitsPerSample() << " bits";
}

// ---------------------------------------------------------------------------
// FillPaddedImage

TEST( FillPaddedImage, MirrorRepeatsTheEdgeSampleOnEverySide )
{
   GenericImage<FloatPixelTraits> image = NumberedImage<FloatPixelTraits>( 960, 960, ColorSpace::RGB );
   DLModelBase m = ModelFor( image );
   ASSERT_EQ( m.padLeft, 16 );
   ASSERT_EQ( m.padRight, 16 );
   ASSERT_EQ( m.padTop, 16 );
   ASSERT_EQ( m.padBottom, 16 );
   GenericImage<DoublePixelTraits> padded( m.paddedWidth, m.paddedHeight, ColorSpace::RGB );
   m.FillPaddedImage( image, padded );

   for ( int c = 0; c < 3; ++c )
   {
      for ( int y : { 0, 1, 500, 959 } )
      {
         EXPECT_EQ( padded( 15, 16 + y, c ), image( 0, y, c ) );
         EXPECT_EQ( padded( 0, 16 + y, c ), image( 15, y, c ) );
         EXPECT_EQ( padded( 976, 16 + y, c ), image( 959, y, c ) );
         EXPECT_EQ( padded( 991, 16 + y, c ), image( 944, y, c ) );
      }
      for ( int x : { 0, 7, 959 } )
      {
         EXPECT_EQ( padded( 16 + x, 15, c ), image( x, 0, c ) );
         EXPECT_EQ( padded( 16 + x, 0, c ), image( x, 15, c ) );
         EXPECT_EQ( padded( 16 + x, 976, c ), image( x, 959, c ) );
         EXPECT_EQ( padded( 16 + x, 991, c ), image( x, 944, c ) );
      }
      // Corners: the image's corner regions mirrored both ways.
      EXPECT_EQ( padded( 0, 0, c ), image( 15, 15, c ) );
      EXPECT_EQ( padded( 15, 15, c ), image( 0, 0, c ) );
      EXPECT_EQ( padded( 991, 0, c ), image( 944, 15, c ) );
      EXPECT_EQ( padded( 0, 991, c ), image( 15, 944, c ) );
      EXPECT_EQ( padded( 991, 991, c ), image( 944, 944, c ) );
      EXPECT_EQ( padded( 980, 3, c ), image( 955, 12, c ) );
   }
}

TEST( FillPaddedImage, WidePadsOfTheSmallestImageMirrorTheColumnsNearTheEdge )
{
   GenericImage<DoublePixelTraits> image = NumberedImage<DoublePixelTraits>( 512, 512, ColorSpace::Gray );
   DLModelBase m = ModelFor( image );
   ASSERT_EQ( m.padRight, 464 );
   ASSERT_EQ( m.padBottom, 464 );
   GenericImage<DoublePixelTraits> padded( m.paddedWidth, m.paddedHeight, ColorSpace::Gray );
   m.FillPaddedImage( image, padded );
   for ( int i = 0; i < 464; ++i )
   {
      EXPECT_EQ( padded( 528 + i, 16 + 100 ), image( 511 - i, 100 ) ) << i;
      EXPECT_EQ( padded( 16 + 100, 528 + i ), image( 100, 511 - i ) ) << i;
   }
   EXPECT_EQ( padded( 991, 991 ), image( 48, 48 ) );
}

TEST( FillPaddedImage, MatchesTheStraightforwardMirrorForEveryPixelType )
{
   ExpectPaddingMatchesReference<FloatPixelTraits>( 1000, 700, ColorSpace::RGB );
   ExpectPaddingMatchesReference<DoublePixelTraits>( 961, 512, ColorSpace::Gray );
   ExpectPaddingMatchesReference<UInt8PixelTraits>( 512, 512, ColorSpace::RGB );
   ExpectPaddingMatchesReference<UInt16PixelTraits>( 960, 961, ColorSpace::Gray );
   ExpectPaddingMatchesReference<UInt32PixelTraits>( 700, 1000, ColorSpace::RGB );
}

TEST( FillPaddedImage, SamplesAreReadAsNormalisedValues )
{
   GenericImage<UInt16PixelTraits> image16( 512, 512, ColorSpace::Gray );
   image16( 0, 0 ) = 65535;
   image16( 1, 0 ) = 0;
   image16( 2, 0 ) = 32768;
   DLModelBase m = ModelFor( image16 );
   GenericImage<DoublePixelTraits> padded( m.paddedWidth, m.paddedHeight, ColorSpace::Gray );
   padded = 0.25;
   m.FillPaddedImage( image16, padded );
   EXPECT_EQ( padded( 16, 16 ), 1.0 );
   EXPECT_EQ( padded( 17, 16 ), 0.0 );
   EXPECT_EQ( padded( 18, 16 ), 32768.0 / 65535.0 );

   GenericImage<UInt8PixelTraits> image8( 512, 512, ColorSpace::Gray );
   image8( 0, 0 ) = 255;
   m.FillPaddedImage( image8, padded );
   EXPECT_EQ( padded( 16, 16 ), 1.0 );

   GenericImage<UInt32PixelTraits> image32( 512, 512, ColorSpace::Gray );
   image32( 0, 0 ) = 4294967295u;
   m.FillPaddedImage( image32, padded );
   EXPECT_EQ( padded( 16, 16 ), 1.0 );

   // Floating-point samples keep their value, even outside [0, 1].
   GenericImage<FloatPixelTraits> imageF( 512, 512, ColorSpace::Gray );
   imageF( 0, 0 ) = 1.5f;
   imageF( 1, 0 ) = -0.25f;
   m.FillPaddedImage( imageF, padded );
   EXPECT_EQ( padded( 16, 16 ), 1.5 );
   EXPECT_EQ( padded( 17, 16 ), -0.25 );
}

TEST( FillPaddedImage, GrayscaleWritesChannelZeroOnly )
{
   GenericImage<FloatPixelTraits> image = NumberedImage<FloatPixelTraits>( 512, 512, ColorSpace::Gray );
   DLModelBase m = ModelFor( image );
   GenericImage<DoublePixelTraits> padded( m.paddedWidth, m.paddedHeight, ColorSpace::RGB );
   padded = 7.0;
   m.FillPaddedImage( image, padded );
   EXPECT_EQ( padded( 16, 16, 0 ), image( 0, 0 ) );
   EXPECT_EQ( padded( 0, 0, 0 ), image( 15, 15 ) );
   for ( int c = 1; c < 3; ++c )
      for ( int y = 0; y < m.paddedHeight; ++y )
         for ( int x = 0; x < m.paddedWidth; ++x )
            ASSERT_EQ( padded( x, y, c ), 7.0 ) << x << "," << y << "," << c;
}

TEST( FillPaddedImage, DoesNotWriteIntoAnImageThatSharesThePaddedPixels )
{
   GenericImage<FloatPixelTraits> image = NumberedImage<FloatPixelTraits>( 512, 512, ColorSpace::Gray );
   DLModelBase m = ModelFor( image );
   GenericImage<DoublePixelTraits> padded( m.paddedWidth, m.paddedHeight, ColorSpace::Gray );
   GenericImage<DoublePixelTraits> sharer( padded );
   m.FillPaddedImage( image, padded );
   EXPECT_EQ( padded( 16, 16 ), image( 0, 0 ) );
   EXPECT_EQ( sharer( 16, 16 ), 0.0 );
}

// ---------------------------------------------------------------------------
// CropImage

TEST( CropImage, CutsThePaddedOutputBackToTheImage )
{
   GenericImage<FloatPixelTraits> source( 1000, 700, ColorSpace::RGB );
   DLModelBase m = ModelFor( source );
   ASSERT_EQ( m.paddedWidth, 1472 );
   ASSERT_EQ( m.paddedHeight, 992 );
   GenericImage<DoublePixelTraits> output( m.paddedWidth, m.paddedHeight, ColorSpace::RGB );
   for ( int c = 0; c < 3; ++c )
      for ( int y = 0; y < m.paddedHeight; ++y )
         for ( int x = 0; x < m.paddedWidth; ++x )
            output( x, y, c ) = ( c * 2000 + x ) * 2000.0 + y;

   m.CropImage( output );

   ASSERT_EQ( output.Width(), 1000 );
   ASSERT_EQ( output.Height(), 700 );
   ASSERT_EQ( output.NumberOfChannels(), 3 );
   for ( int c = 0; c < 3; ++c )
      for ( int y = 0; y < 700; ++y )
         for ( int x = 0; x < 1000; ++x )
            ASSERT_EQ( output( x, y, c ), ( c * 2000 + 16 + x ) * 2000.0 + 16 + y ) << x << "," << y << "," << c;
}

// ---------------------------------------------------------------------------
// ValidateFiniteImage

template <class P>
std::string Validation( DLModelBase& m, GenericImage<P>& image )
{
   try
   {
      m.ValidateFiniteImage( image, "Velqora linear denoized image after destretch" );
   }
   catch ( const Error& e )
   {
      return e.Message().ToStdUTF8();
   }
   return "finite";
}

TEST( ValidateFiniteImage, FindsNonFiniteSamplesAnywhere )
{
   const std::string refusal = "Velqora linear denoized image after destretch contains non-finite sample values.";
   DLModelBase m;

   GenericImage<DoublePixelTraits> d( 37, 23, ColorSpace::RGB );
   d = 0.5;
   EXPECT_EQ( Validation( m, d ), "finite" );
   d( 36, 22, 2 ) = std::numeric_limits<double>::quiet_NaN();
   EXPECT_EQ( Validation( m, d ), refusal );
   d( 36, 22, 2 ) = 1e308; // large but finite
   EXPECT_EQ( Validation( m, d ), "finite" );
   d( 0, 0, 0 ) = -std::numeric_limits<double>::infinity();
   EXPECT_EQ( Validation( m, d ), refusal );
   EXPECT_EQ( d( 0, 0, 0 ), -std::numeric_limits<double>::infinity() ); // left unchanged

   GenericImage<FloatPixelTraits> f( 41, 19, ColorSpace::Gray );
   f = 1.0;
   f( 20, 10 ) = std::numeric_limits<float>::max();
   f( 21, 10 ) = std::numeric_limits<float>::denorm_min();
   EXPECT_EQ( Validation( m, f ), "finite" );
   f( 40, 18 ) = std::numeric_limits<float>::infinity();
   EXPECT_EQ( Validation( m, f ), refusal );
   f( 40, 18 ) = 0;
   f( 5, 3 ) = -std::numeric_limits<float>::quiet_NaN();
   EXPECT_EQ( Validation( m, f ), refusal );
}

TEST( ValidateFiniteImage, ChecksTheWholeImageRegardlessOfSelection )
{
   DLModelBase m;
   GenericImage<FloatPixelTraits> f( 16, 16, ColorSpace::RGB );
   f( 15, 15, 2 ) = std::numeric_limits<float>::quiet_NaN();
   f.SelectChannel( 0 );
   f.SelectRectangle( Rect{ 0, 0, 4, 4 } );
   EXPECT_NE( Validation( m, f ), "finite" );
   try
   {
      m.ValidateFiniteImage( f, "Velqora linear source image after destretch" );
      FAIL() << "no error";
   }
   catch ( const Error& e )
   {
      EXPECT_EQ( e.Message().ToStdUTF8(), "Velqora linear source image after destretch contains non-finite sample values." );
   }
}

TEST( ValidateFiniteImage, IntegerImagesAreAlwaysFinite )
{
   DLModelBase m;
   GenericImage<UInt8PixelTraits> i8( 9, 9, ColorSpace::RGB );
   i8 = 1.0;
   GenericImage<UInt16PixelTraits> i16( 9, 9, ColorSpace::Gray );
   i16 = 1.0;
   GenericImage<UInt32PixelTraits> i32( 9, 9, ColorSpace::RGB );
   i32 = 1.0;
   EXPECT_EQ( Validation( m, i8 ), "finite" );
   EXPECT_EQ( Validation( m, i16 ), "finite" );
   EXPECT_EQ( Validation( m, i32 ), "finite" );
}

} // namespace
