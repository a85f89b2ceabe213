#include "framework/DLModelBase.h"

#include "framework/FiniteCheck.h"
#include "platform/core/Exception.h"

namespace pcl
{

template <class P>
void DLModelBase::ValidateFiniteImage( GenericImage<P>& image, const char* what )
{
   // Integer samples convert to values in [0, 1]: always finite.
   if constexpr ( P::IsFloatSample() )
      for ( int c = 0; c < image.NumberOfChannels(); ++c )
         if ( project_pelk::AnyNonFinite( image.PixelData( c ), image.NumberOfPixels() ) )
            throw Error( String( what ) + " contains non-finite sample values." );
}

#define INSTANTIATE( P ) template void DLModelBase::ValidateFiniteImage<P>( GenericImage<P>&, const char* );
PCL_FOR_EACH_PIXEL_TYPE( INSTANTIATE )
#undef INSTANTIATE

} // pcl
