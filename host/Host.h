#ifndef VELQORA_HOST_HOST_H
#define VELQORA_HOST_HOST_H

#include "host/terminal/HostConsole.h"
#include "host/registry/HostControls.h"
#include "host/registry/InterfaceRegistry.h"
#include "host/registry/ProcessRegistry.h"
#include "host/windows/HostView.h"
#include "host/windows/HostWindow.h"
#include "platform/boundary/HostInterface.h"
#include "platform/core/Utf16.h"

#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace host
{

// The host stand-in: its console, its image windows with their views, the
// processes that modules declare, and the C functions that it hands to a
// module by name. One host is current at a time; the thread that creates it
// is its root thread.
class Host
{
public:
   Host();
   ~Host();
   Host( const Host& ) = delete;
   Host& operator=( const Host& ) = delete;

   static Host* Current() noexcept;

   Console& GetConsole() noexcept { return m_console; }
   Controls& GetControls() noexcept { return m_controls; }

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

   ProcessRegistry& Processes() noexcept { return m_processes; }
   InterfaceRegistry& Interfaces() noexcept { return m_interfaces; }

   bool IsRootThread() const noexcept { return std::this_thread::get_id() == m_rootThread; }

   // The text of the last failure of a host function called on this thread:
   // a module may run on several threads at once, and each reads its own.
   static void SetLastError( const std::string& text );
   static const std::u16string& LastError() noexcept;

private:
   Console m_console;
   Controls m_controls;
   std::vector<std::unique_ptr<ImageWindow>> m_windows;
   ImageWindow* m_active = nullptr;
   ProcessRegistry m_processes;
   InterfaceRegistry m_interfaces;
   std::thread::id m_rootThread;
};

// Hands out the host's C functions by name; null for an unknown name.
extern "C" void* ResolveHostFunction( const char* name );

// A text handed over the module boundary, where null stands for the empty text.
std::string Text( const char* s );
std::string Text( const char16_t* s );

} // host

#endif
