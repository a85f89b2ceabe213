#ifndef VELQORA_HOST_WINDOW_H
#define VELQORA_HOST_WINDOW_H

#include "host/windows/HostView.h"

#include <memory>
#include <string>
#include <vector>

namespace host
{

// An image window: its main view, whose identifier is the image's, and its
// previews, each a view of its own over a rectangle of the image, named
// "image->preview". One of them is the window's current view.
class ImageWindow
{
public:
   explicit ImageWindow( std::unique_ptr<View> mainView );

   View& MainView() const noexcept { return *m_main; }
   View& CurrentView() const noexcept { return *m_current; }
   const std::vector<std::unique_ptr<View>>& Previews() const noexcept { return m_previews; }

   // A preview over the rectangle at (x0, y0), its samples copied from the
   // image. Throws std::runtime_error for a rectangle outside the image or a
   // preview identifier in use.
   View& CreatePreview( const std::string& previewId, int x0, int y0, int width, int height );
   void ClosePreview( const View& preview );

   // A view of this window: the main view or a preview; null otherwise.
   View* Find( const std::string& fullId ) const noexcept;
   // Throws std::runtime_error for a view not of this window.
   void SetCurrentView( const View& view );

private:
   std::unique_ptr<View> m_main;
   std::vector<std::unique_ptr<View>> m_previews;
   View* m_current;
};

} // host

#endif
