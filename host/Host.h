#ifndef VELQORA_HOST_HOST_H
#define VELQORA_HOST_HOST_H

#include "host/HostConsole.h"
#include "host/HostView.h"
#include "platform/module/HostInterface.h"
#include "platform/core/Utf16.h"

#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace host
{

// The host stand-in: its console and its views, and the C functions that it
// hands to a module by name. One host is current at a time; the thread that
// creates it is its root thread.
class Host
{
public:
   Host();
   ~Host();
   Host( const Host& ) = delete;
   Host& operator=( const Host& ) = delete;

   static Host* Current() noexcept;

   Console& GetConsole() noexcept { return m_console; }

   View& CreateView( const std::string& id, int width, int height, int numberOfChannels, int colorSpace,
                     int bitsPerSample, bool isFloatSample, bool isComplexSample = false );
   View* FindView( const std::string& id ) noexcept;
   void CloseView( const std::string& id );

   bool IsRootThread() const noexcept { return std::this_thread::get_id() == m_rootThread; }

   // The text of the last failure of a host function.
   void SetLastError( const std::string& text ) { m_lastError = utf::FromUTF8( text ); }
   const std::u16string& LastError() const noexcept { return m_lastError; }

private:
   Console m_console;
   std::vector<std::unique_ptr<View>> m_views;
   std::thread::id m_rootThread;
   std::u16string m_lastError;
};

// Hands out the host's C functions by name; null for an unknown name.
extern "C" void* ResolveHostFunction( const char* name );

} // host

#endif
