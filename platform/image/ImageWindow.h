#ifndef PCL_IMAGE_WINDOW_H
#define PCL_IMAGE_WINDOW_H

#include "platform/image/View.h"

namespace pcl
{

// An image window of the host: its main view, its previews, and the one of
// them that is current.
class ImageWindow
{
public:
   ImageWindow() = default;
   explicit ImageWindow( host_window_handle handle ) noexcept : m_handle( handle ) {}

   bool IsNull() const noexcept { return m_handle == nullptr; }

   View MainView() const;
   View CurrentView() const;

   // The active image window; a null window when none is open.
   static ImageWindow ActiveWindow();

private:
   host_window_handle m_handle = nullptr;
};

} // pcl

#endif
