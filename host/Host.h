#ifndef VELQORA_HOST_HOST_H
#define VELQORA_HOST_HOST_H

#include "host/terminal/HostConsole.h"
#include "host/registry/HostControls.h"
#include "host/registry/InterfaceRegistry.h"
#include "host/registry/ProcessRegistry.h"
#include "host/windows/WindowRegistry.h"
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

   WindowRegistry& Windows() noexcept { return m_windows; }
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
   WindowRegistry m_windows;
   ProcessRegistry m_processes{ m_console };
   InterfaceRegistry m_interfaces;
   std::thread::id m_rootThread;
};

} // host

#endif
