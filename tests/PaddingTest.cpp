// Mirrored padding, crop back to the image size and the finiteness check.
#include "ReferencePipeline.h"

#include "framework/DLModelBase.h"
#include "tests/ErrorOf.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

using namespace pcl;

namespace
{

template <class P>
void ExpectPaddingMatchesReference( int width, int height, int colorSpace )
{
   GenericImage<P> image = reference::RandomImage<P>( width, height, colorSpace, 0.0, 1.0, 1 );
   DLModelBase m = reference::SystemModel( image );
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
   GenericImage<FloatPixelTraits> image = reference::RandomImage<FloatPixelTraits>( 960, 960, ColorSpace::RGB, 0.0, 1.0, 1 );
   DLModelBase m = reference::SystemModel( image );
   ASSERT_EQ( m.padRight, 16 );
   GenericImage<DoublePixelTraits> padded( m.paddedWidth, m.paddedHeight, ColorSpace::RGB );
   m.FillPaddedImage( image, padded );
   for ( int c = 0; c < 3; ++c )
   {
      for ( int i : { 0, 1, 500, 959 } )
      {
         EXPECT_EQ( padded( 15, 16 + i, c ), image( 0, i, c ) );
         EXPECT_EQ( padded( 0, 16 + i, c ), image( 15, i, c ) );
         EXPECT_EQ( padded( 976, 16 + i, c ), image( 959, i, c ) );
         EXPECT_EQ( padded( 991, 16 + i, c ), image( 944, i, c ) );
         EXPECT_EQ( padded( 16 + i, 15, c ), image( i, 0, c ) );
         EXPECT_EQ( padded( 16 + i, 991, c ), image( i, 944, c ) );
      }
      // Corners: the image's corner regions mirrored both ways.
      EXPECT_EQ( padded( 0, 0, c ), image( 15, 15, c ) );
      EXPECT_EQ( padded( 991, 991, c ), image( 944, 944, c ) );
      EXPECT_EQ( padded( 980, 3, c ), image( 955, 12, c ) );
   }
}

TEST( FillPaddedImage, MatchesTheStraightforwardMirrorForEveryPixelType )
{
   ExpectPaddingMatchesReference<FloatPixelTraits>( 1000, 700, ColorSpace::RGB );
   ExpectPaddingMatchesReference<DoublePixelTraits>( 961, 512, ColorSpace::Gray );
   ExpectPaddingMatchesReference<UInt8PixelTraits>( 512, 512, ColorSpace::RGB ); // pads of 464
   ExpectPaddingMatchesReference<UInt16PixelTraits>( 960, 961, ColorSpace::Gray );
   ExpectPaddingMatchesReference<UInt32PixelTraits>( 700, 1000, ColorSpace::RGB );
}

TEST( FillPaddedImage, DoesNotWriteIntoAnImageThatSharesThePaddedPixels )
{
   GenericImage<FloatPixelTraits> image = reference::RandomImage<FloatPixelTraits>( 512, 512, ColorSpace::Gray, 0.0, 1.0, 1 );
   DLModelBase m = reference::SystemModel( image );
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
   DLModelBase m = reference::SystemModel( source );
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
std::string Validation( GenericImage<P>& image )
{
   return ErrorOf( [&] { DLModelBase().ValidateFiniteImage( image, "Velqora linear denoized image after destretch" ); } );
}

TEST( ValidateFiniteImage, FindsNonFiniteSamplesAnywhereRegardlessOfSelection )
{
   const std::string refusal = "Velqora linear denoized image after destretch contains non-finite sample values.";
   GenericImage<DoublePixelTraits> d( 37, 23, ColorSpace::RGB );
   d = 0.5;
   EXPECT_EQ( Validation( d ), "no error" );
   d( 36, 22, 2 ) = std::numeric_limits<double>::quiet_NaN();
   EXPECT_EQ( Validation( d ), refusal );
   d( 36, 22, 2 ) = 1e308; // large but finite
   EXPECT_EQ( Validation( d ), "no error" );
   d( 0, 0, 0 ) = -std::numeric_limits<double>::infinity();
   EXPECT_EQ( Validation( d ), refusal );
   EXPECT_EQ( d( 0, 0, 0 ), -std::numeric_limits<double>::infinity() ); // left unchanged

   GenericImage<FloatPixelTraits> f( 41, 19, ColorSpace::RGB );
   f = 1.0;
   f( 20, 10, 0 ) = std::numeric_limits<float>::max();
   f( 21, 10, 0 ) = std::numeric_limits<float>::denorm_min();
   EXPECT_EQ( Validation( f ), "no error" );
   f( 40, 18, 2 ) = -std::numeric_limits<float>::quiet_NaN();
   f.SelectChannel( 0 );
   f.SelectRectangle( Rect{ 0, 0, 4, 4 } );
   EXPECT_EQ( Validation( f ), refusal );
   f( 40, 18, 2 ) = 0;
   f( 5, 3, 1 ) = std::numeric_limits<float>::infinity();
   EXPECT_EQ( Validation( f ), refusal );

   GenericImage<UInt16PixelTraits> integer( 9, 9, ColorSpace::Gray );
   integer = 1.0;
   EXPECT_EQ( Validation( integer ), "no error" );
}

} // namespace
