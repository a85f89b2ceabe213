#include "host/windows/HostWindow.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace host
{

ImageWindow::ImageWindow( std::unique_ptr<View> mainView ) : m_main( std::move( mainView ) ), m_current( m_main.get() )
{
}

View& ImageWindow::CreatePreview( const std::string& previewId, int x0, int y0, int width, int height )
{
   const View& image = *m_main;
   if ( x0 < 0 || y0 < 0 || width <= 0 || height <= 0 || x0 + width > image.Width() || y0 + height > image.Height() )
      throw std::runtime_error( "Preview rectangle outside the image: " + previewId );
   const std::string fullId = image.Id() + "->" + previewId;
   if ( previewId.empty() || Find( fullId ) != nullptr )
      throw std::runtime_error( "Invalid or duplicate preview identifier: " + fullId );
   auto preview = std::make_unique<View>( fullId, width, height, image.NumberOfChannels(), image.ColorSpace(),
                                          image.BitsPerSample(), image.IsFloatSample(), image.IsComplexSample() );
   const size_t sampleBytes = image.BytesPerChannel() / ( size_t( image.Width() ) * image.Height() );
   for ( int c = 0; c < image.NumberOfChannels(); ++c )
      for ( int y = 0; y < height; ++y )
         std::memcpy( preview->Samples<char>( c ) + size_t( y ) * width * sampleBytes,
                      image.Samples<char>( c ) + ( size_t( y0 + y ) * image.Width() + x0 ) * sampleBytes,
                      size_t( width ) * sampleBytes );
   for ( int i = 0; i < HOST_STF_COUNT; ++i )
      preview->SetScreenTransferFunction( i, image.ScreenTransferFunction( i ) );
   m_previews.push_back( std::move( preview ) );
   return *m_previews.back();
}

void ImageWindow::ClosePreview( const View& preview )
{
   if ( m_current == &preview )
      m_current = m_main.get();
   std::erase_if( m_previews, [&]( const auto& p ) { return p.get() == &preview; } );
}

View* ImageWindow::Find( const std::string& fullId ) const noexcept
{
   if ( m_main->Id() == fullId )
      return m_main.get();
   for ( const auto& p : m_previews )
      if ( p->Id() == fullId )
         return p.get();
   return nullptr;
}

void ImageWindow::SetCurrentView( const View& view )
{
   View* v = Find( view.Id() );
   if ( v != &view )
      throw std::runtime_error( "Not a view of this window: " + view.Id() );
   m_current = v;
}

} // host
