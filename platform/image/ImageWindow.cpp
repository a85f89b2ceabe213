#include "platform/image/ImageWindow.h"

#include "platform/boundary/HostBinding.h"

namespace pcl
{

View ImageWindow::MainView() const
{
   return View( m_handle != nullptr ? Host().WindowMainView( m_handle ) : nullptr );
}

View ImageWindow::CurrentView() const
{
   return View( m_handle != nullptr ? Host().WindowCurrentView( m_handle ) : nullptr );
}

ImageWindow ImageWindow::ActiveWindow()
{
   return ImageWindow( Host().WindowActive() );
}

} // pcl
