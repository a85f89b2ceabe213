#include "platform/image/ImageVariant.h"

namespace pcl
{

ImageVariant::ImageVariant( const host_image_desc& desc, host_view_handle view )
   : m_complex( desc.isComplexSample != 0 )
   , m_float( desc.isFloatSample != 0 )
   , m_bits( desc.bitsPerSample )
   , m_colorSpace( desc.colorSpace )
   , m_width( desc.width )
   , m_height( desc.height )
   , m_channels( desc.numberOfChannels )
{
   if ( !m_complex )
      DispatchPixelType( m_float, m_bits, [&]( auto type ) {
         using P = typename decltype( type )::type;
         m_image.emplace<GenericImage<P>>( desc, view );
      } );
}

StatusMonitor& ImageVariant::Status() const
{
   return std::visit(
      [this]( const auto& image ) -> StatusMonitor& {
         if constexpr ( std::is_same_v<std::decay_t<decltype( image )>, std::monostate> )
            return m_noImageStatus;
         else
            return image.Status();
      },
      m_image );
}

} // pcl
