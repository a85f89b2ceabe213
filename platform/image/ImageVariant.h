#ifndef PCL_IMAGE_VARIANT_H
#define PCL_IMAGE_VARIANT_H

#include "platform/image/GenericImage.h"

#include <variant>

namespace pcl
{

// An image of any of the five pixel types, as a view hands it out: its pixels
// are the view's. Complex images are described but hold no pixels here.
class ImageVariant
{
public:
   ImageVariant() = default;
   ImageVariant( const host_image_desc& desc, host_view_handle view );

   bool IsComplexSample() const noexcept { return m_complex; }
   bool IsFloatSample() const noexcept { return m_float; }
   int BitsPerSample() const noexcept { return m_bits; }
   int ColorSpace() const noexcept { return m_colorSpace; }
   int Width() const noexcept { return m_width; }
   int Height() const noexcept { return m_height; }
   int NumberOfChannels() const noexcept { return m_channels; }
   bool HasAlphaChannels() const noexcept
   {
      return m_channels > ColorSpace::NumberOfNominalChannels( m_colorSpace );
   }
   bool IsEmpty() const noexcept { return std::holds_alternative<std::monostate>( m_image ); }

   // The image as a GenericImage<P>; throws Error when it is of another type.
   template <class P>
   GenericImage<P>& Image()
   {
      if ( auto* image = std::get_if<GenericImage<P>>( &m_image ) )
         return *image;
      throw Error( "ImageVariant: the image is not of the requested pixel type." );
   }

   // The status monitor of the held image, with which its operations report.
   StatusMonitor& Status() const;
   void SetStatusCallback( StatusCallback* callback ) const { Status().SetCallback( callback ); }

private:
   std::variant<std::monostate, GenericImage<FloatPixelTraits>, GenericImage<DoublePixelTraits>,
                GenericImage<UInt8PixelTraits>, GenericImage<UInt16PixelTraits>, GenericImage<UInt32PixelTraits>>
      m_image;
   mutable StatusMonitor m_noImageStatus;
   bool m_complex = false;
   bool m_float = false;
   int m_bits = 0;
   int m_colorSpace = 0;
   int m_width = 0;
   int m_height = 0;
   int m_channels = 0;
};

} // pcl

#endif
