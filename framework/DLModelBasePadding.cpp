#include "framework/DLModelBase.h"

#include "framework/FiniteCheck.h"
#include "platform/core/Exception.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace pcl
{

template <class P>
void DLModelBase::FillPaddedImage( GenericImage<P>& image, GenericImage<DoublePixelTraits>& padded )
{
   padded.EnsureUnique();
   // Row by row in storage order: every pad sample copies a sample of the
   // image's own rows (left and right pads) or of an image row of the padded
   // width (top and bottom pads), none of them wider than the image, so
   // filling each padded row whole and then copying whole rows gives the same
   // samples as the mirror steps taken column by column, without striding
   // through memory.
   for ( int c = 0; c < numberOfChannels; ++c )
   {
      for ( int y = 0; y < height; ++y )
      {
         const typename P::sample* src = image.ScanLine( y, c );
         double* row = padded.ScanLine( padTop + y, c );
         double* body = row + padLeft;
         for ( int x = 0; x < width; ++x )
            body[x] = P::FromSample( src[x] );
         for ( int i = 0; i < padLeft; ++i )
            row[padLeft - 1 - i] = row[padLeft + i];
         for ( int i = 0; i < padRight; ++i )
            row[paddedWidth - padRight + i] = row[paddedWidth - padRight - 1 - i];
      }
      const size_t rowBytes = size_t( paddedWidth ) * sizeof( double );
      for ( int j = 0; j < padTop; ++j )
         std::memcpy( padded.ScanLine( padTop - 1 - j, c ), padded.ScanLine( padTop + j, c ), rowBytes );
      for ( int j = 0; j < padBottom; ++j )
         std::memcpy( padded.ScanLine( paddedHeight - padBottom + j, c ),
                      padded.ScanLine( paddedHeight - padBottom - 1 - j, c ), rowBytes );
   }
}

template <class P>
void DLModelBase::CropImage( GenericImage<P>& image )
{
   image.CropBy( -padLeft, -padTop, -padRight, -padBottom );
}

template <class P>
void DLModelBase::ValidateFiniteImage( GenericImage<P>& image, const char* what )
{
   // Integer samples convert to values in [0, 1]: always finite.
   if constexpr ( P::IsFloatSample() )
      for ( int c = 0; c < image.NumberOfChannels(); ++c )
         if ( project_pelk::AnyNonFinite( image.PixelData( c ), image.NumberOfPixels() ) )
            throw Error( String( what ) + " contains non-finite sample values." );
}

#define INSTANTIATE( P )                                                                              \
   template void DLModelBase::FillPaddedImage<P>( GenericImage<P>&, GenericImage<DoublePixelTraits>& ); \
   template void DLModelBase::CropImage<P>( GenericImage<P>& );                                        \
   template void DLModelBase::ValidateFiniteImage<P>( GenericImage<P>&, const char* );
PCL_FOR_EACH_PIXEL_TYPE( INSTANTIATE )
#undef INSTANTIATE

} // pcl
