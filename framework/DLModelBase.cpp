#include "framework/DLModelBase.h"

#include "platform/image/ColorSpace.h"
#include "platform/boundary/Console.h"
#include "platform/core/Exception.h"

namespace pcl
{

DLModelBase::DLModelBase() = default;

DLModelBase::~DLModelBase() = default;

void DLModelBase::PrintIntroGraphic()
{
}

String DLModelBase::GetBasePath()
{
   return "/opt/PixInsight/bin/";
}

void DLModelBase::PrintGraphic( std::span<const GraphicLine> lines )
{
   Console::WriteLn( "<end><cbr><br>" );
   for ( const GraphicLine& line : lines )
      Console::WriteLn( String( line.colour ) + line.text + "\033[39;21m" );
   Console::WriteLn( "<end><cbr><br>" );
}

void DLModelBase::PrintCoffeeGraphic()
{
   // Picture lines keep their trailing blanks: each is written whole.
   static constexpr GraphicLine lines[] = {
      { "\033[1;38;2;226;10;10m", R"(        ( )    )" },
      { "\033[1;38;2;226;10;10m", R"(      (  )  ( ))" },
      { "\033[1;38;2;205;10;49m", R"(        )  ( ) (()" },
      { "\033[1;38;2;183;10;96m", R"(       (  ) ) )))" },
      { "\033[1;38;2;162;10;140m", R"(    ______________ )" },
      { "\033[1;38;2;140;10;183m", R"(  C |/\/\/\/\/\/\/| )" },
      { "\033[1;38;2;118;10;226m", R"(  C |\/\/\/\/\/\/\| )" },
      { "\033[1;38;2;118;10;226m", R"(  C |             | )" },
      { "\033[1;38;2;118;10;226m", R"(    \_____________/  )" },
      { "\033[1;38;2;118;10;226m", R"(    `-------------'  )" },
      { "\033[1;38;2;118;10;226m", R"(  ~~~~~~~~~~~~~~~~  )" },
   };
   PrintGraphic( lines );
}

template <class P>
void DLModelBase::ReadImageProps( GenericImage<P>& image, bool verbose )
{
   numberOfChannels = image.NumberOfChannels();
   height = image.Height();
   width = image.Width();
   colorSpace = image.ColorSpace();
   bitsPerSample = P::BitsPerSample();
   hasAlpha = image.HasAlphaChannels();
   isFloatSample = P::IsFloatSample();

   if ( stride > windowSize )
   {
      Console::WarningLn( "Stride value should be at most " + String( windowSize ) + "!" );
      Console::WarningLn( String::Format( "Setting stride to %d", windowSize ) );
      stride = windowSize;
   }

   geometry = project_pelk::TileGeometry::ForImage( width, height, windowSize, stride );
   margin = geometry.margin;
   paddedHeight = geometry.paddedHeight;
   paddedWidth = geometry.paddedWidth;
   padLeft = geometry.padLeft;
   padRight = geometry.padRight;
   padTop = geometry.padTop;
   padBottom = geometry.padBottom;
   tileCount = geometry.tileCount;

   if ( colorSpace != ColorSpace::Gray && colorSpace != ColorSpace::RGB )
      throw Error( "Only RGB and Greyscale images are supported!" );
   if ( numberOfChannels != 1 && numberOfChannels != 3 )
      throw Error( "Weird number of channels: " + String( numberOfChannels ) + "! Should be 1 or 3!" );
   // Channels beyond the colour space's own would be read and written as
   // colour channels of working images that do not have them.
   if ( numberOfChannels != ColorSpace::NumberOfNominalChannels( colorSpace ) )
      throw Error( "Unsupported channel layout: " + String( numberOfChannels ) + " channels in a " +
                   ColorSpace::Name( colorSpace ) + " image! Alpha channels are not supported." );
   if ( height < windowSize || width < windowSize )
      throw Error( "Minimum image size is " + String( windowSize ) + "x" + String( windowSize ) + "!" );

   if ( verbose )
   {
      Console::WriteLn( "Window size: " + String( windowSize ) );
      Console::WriteLn( "Stride: " + String( stride ) );
      Console::WriteLn( "Image size: " + String( width ) + "x" + String( height ) );
      Console::WriteLn( "Number of channels: " + String( numberOfChannels ) );
      Console::WriteLn( "Color space: " + ColorSpace::Name( colorSpace ) );
      Console::WriteLn( "Bits per sample: " + String( bitsPerSample ) );
      Console::WriteLn( "Has alpha channels: " + String( hasAlpha ) );
      Console::WriteLn( "Float sample: " + String( isFloatSample ) );
   }
}

#define INSTANTIATE( P ) template void DLModelBase::ReadImageProps<P>( GenericImage<P>&, bool );
PCL_FOR_EACH_PIXEL_TYPE( INSTANTIATE )
#undef INSTANTIATE

} // pcl
