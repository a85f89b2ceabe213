#include "host/windows/WindowRegistry.h"

#include <algorithm>
#include <stdexcept>

namespace host
{

View& WindowRegistry::CreateView( const std::string& id, int width, int height, int numberOfChannels, int colorSpace,
                        int bitsPerSample, bool isFloatSample, bool isComplexSample )
{
   if ( id.empty() || id.find( "->" ) != std::string::npos || FindView( id ) != nullptr )
      throw std::runtime_error( "Invalid identifier, or a view with this identifier exists already: " + id );
   m_windows.push_back( std::make_unique<ImageWindow>( std::make_unique<View>(
      id, width, height, numberOfChannels, colorSpace, bitsPerSample, isFloatSample, isComplexSample ) ) );
   m_active = m_windows.back().get();
   return m_active->MainView();
}

View& WindowRegistry::CreatePreview( const std::string& imageId, const std::string& previewId, int x0, int y0, int width,
                           int height )
{
   View* image = FindView( imageId );
   ImageWindow* window = image != nullptr ? FindWindow( *image ) : nullptr;
   if ( window == nullptr || &window->MainView() != image )
      throw std::runtime_error( "No image window: " + imageId );
   return window->CreatePreview( previewId, x0, y0, width, height );
}

View* WindowRegistry::FindView( const std::string& fullId ) noexcept
{
   for ( const auto& w : m_windows )
      if ( View* v = w->Find( fullId ) )
         return v;
   return nullptr;
}

ImageWindow* WindowRegistry::FindWindow( const View& view ) const noexcept
{
   for ( const auto& w : m_windows )
      if ( w->Find( view.Id() ) == &view )
         return w.get();
   return nullptr;
}

void WindowRegistry::CloseView( const std::string& fullId )
{
   View* view = FindView( fullId );
   if ( view == nullptr )
      return;
   ImageWindow* window = FindWindow( *view );
   if ( view != &window->MainView() )
   {
      window->ClosePreview( *view );
      return;
   }
   std::erase_if( m_windows, [&]( const auto& w ) { return w.get() == window; } );
   if ( m_active == window )
      m_active = m_windows.empty() ? nullptr : m_windows.back().get();
}

std::vector<View*> WindowRegistry::Views() const
{
   std::vector<View*> views;
   for ( const auto& w : m_windows )
   {
      views.push_back( &w->MainView() );
      for ( const auto& p : w->Previews() )
         views.push_back( p.get() );
   }
   return views;
}

void WindowRegistry::SelectView( const std::string& fullId )
{
   View* view = FindView( fullId );
   if ( view == nullptr )
      throw std::runtime_error( "No such view: " + fullId );
   m_active = FindWindow( *view );
   m_active->SetCurrentView( *view );
}

} // host
