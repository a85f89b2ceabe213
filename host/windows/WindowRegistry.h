#ifndef VELQORA_HOST_WINDOW_REGISTRY_H
#define VELQORA_HOST_WINDOW_REGISTRY_H

#include "host/windows/HostWindow.h"

#include <memory>
#include <string>
#include <vector>

namespace host
{

// The host's image windows, in the order they were opened, and which of them
// is active.
class WindowRegistry
{
public:
   // Opens an image window whose main view is a new view with this
   // identifier, and makes it the active window.
   View& CreateView( const std::string& id, int width, int height, int numberOfChannels, int colorSpace,
                     int bitsPerSample, bool isFloatSample, bool isComplexSample = false );
   // A preview of the image window `imageId`, full identifier "image->preview".
   View& CreatePreview( const std::string& imageId, const std::string& previewId, int x0, int y0, int width,
                        int height );
   // A main view or a preview by its full identifier; null when none.
   View* FindView( const std::string& fullId ) noexcept;
   // Closes a preview, or the image window of a main view with its previews.
   void CloseView( const std::string& fullId );
   // Every view, window by window, each main view before its previews.
   std::vector<View*> Views() const;
   // The active image window; null when none is open.
   ImageWindow* ActiveWindow() const noexcept { return m_active; }
   ImageWindow* FindWindow( const View& view ) const noexcept;
   // Makes the view current in its window, and that window active.
   void SelectView( const std::string& fullId );

private:
   std::vector<std::unique_ptr<ImageWindow>> m_windows;
   ImageWindow* m_active = nullptr;
};

} // host

#endif
