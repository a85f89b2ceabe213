// velqora-host: the host stand-in as a tool. Loads the module through its
// entry functions (install, identify, initialise) and runs the steps of its command line: open image files,
// set the process's parameters, run it, run its command lines, save.
#include "host/Host.h"
#include "host/HostTool.h"
#include "host/LoadedModule.h"
#include "host/files/TemporaryFile.h"
#include "host/terminal/StderrFilter.h"
#include "host/terminal/Terminal.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <initializer_list>
#include <cstdlib>
#include <exception>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace
{

std::atomic<int> g_interrupts{ 0 };
std::atomic<host::Console*> g_console{ nullptr };
std::atomic<pid_t> g_mainThread{ 0 };
std::atomic<int> g_userFd{ STDERR_FILENO };

// Writes the parts of a line; safe in a signal handler.
void TellInHandler( std::initializer_list<const char*> parts ) noexcept
{
   for ( const char* part : parts )
      (void)!::write( g_userFd.load(), part, std::strlen( part ) );
}

// Signals are handled on the main thread, where the steps run: a save is
// abandoned between two of its own instructions, never beside them.
// Ctrl-C or SIGTERM during a save abandons it at once: the temporary file
// goes, the target stays as it was. Otherwise the first Ctrl-C asks the
// module to abort its run, the second leaves at once, and SIGTERM ends the
// process as it would without a handler.
extern "C" void OnSignal( int signal )
{
   const int savedErrno = errno;
   if ( const pid_t main = g_mainThread.load(); main != 0 && ::gettid() != main )
   {
      ::tgkill( ::getpid(), main, signal );
      errno = savedErrno;
      return;
   }
   const bool terminated = signal == SIGTERM;
   if ( const char* target = host::AbandonSave() )
   {
      const char* quote = std::strchr( target, ' ' ) != nullptr ? "\"" : "";
      host::StderrFilter::Drain();
      TellInHandler( { "velqora-host: --save ", quote, target, quote, ": stopped by ", terminated ? "SIGTERM" : "Ctrl-C",
                       "; the save is abandoned, ", target, " is as it was\n" } );
      ::_exit( terminated ? host::ToolTerminated : host::ToolAborted );
   }
   if ( terminated || g_interrupts.fetch_add( 1 ) > 0 )
   {
      host::StderrFilter::Drain();
      if ( !terminated )
         ::_exit( host::ToolAborted );
      ::signal( SIGTERM, SIG_DFL );
      ::raise( SIGTERM ); // on the handler's return
   }
   else if ( host::Console* console = g_console.load() )
      console->RequestAbort();
   errno = savedErrno;
}

void Tell( int fd, const std::string& text )
{
   (void)!::write( fd, text.data(), text.size() );
}

std::string DefaultModule()
{
   std::string self( 4096, '\0' );
   const ssize_t n = ::readlink( "/proc/self/exe", self.data(), self.size() );
   self.resize( n > 0 ? size_t( n ) : 0 );
   return self.substr( 0, self.find_last_of( '/' ) + 1 ) + "Velqora-pxm.so";
}

} // namespace

int main( int argc, char** argv )
{
   // Before TensorFlow is loaded with the module. Its BFC allocator keeps
   // the buffers of one run for the next, where its default one maps fresh
   // ones each time (a quarter of a run's CPU time in page faults); the
   // choice is the process's, so the host makes it, unless the user did.
   ::setenv( "TF_CPU_ALLOCATOR_USE_BFC", "true", 0 );
   host::StderrFilter filter;
   const std::vector<std::string> arguments( argv + 1, argv + argc );
   if ( arguments.size() == 1 && ( arguments[0] == "--help" || arguments[0] == "-h" ) )
   {
      Tell( STDOUT_FILENO, host::ToolUsage() );
      return host::ToolSucceeded;
   }
   host::ToolOptions options;
   try
   {
      options = host::ParseToolArguments( arguments );
   }
   catch ( const std::exception& e )
   {
      Tell( filter.UserFd(), std::string( "velqora-host: " ) + e.what() + "\n" + host::ToolUsage() );
      return host::ToolMisused;
   }
   const std::string modulePath = options.module.empty() ? DefaultModule() : options.module;

   std::unique_ptr<host::LoadedModule> module; // outlives the host's objects of the module
   host::Host host;
   host::Terminal terminal( STDOUT_FILENO, ::isatty( STDOUT_FILENO ) != 0 );
   host.GetConsole().SetTerminal( &terminal );
   g_console = &host.GetConsole();
   g_mainThread = ::gettid();
   g_userFd = filter.UserFd();
   struct sigaction action = {};
   action.sa_handler = &OnSignal;
   ::sigemptyset( &action.sa_mask );
   ::sigaddset( &action.sa_mask, SIGINT );
   ::sigaddset( &action.sa_mask, SIGTERM );
   ::sigaction( SIGINT, &action, nullptr );
   ::sigaction( SIGTERM, &action, nullptr );

   host::ToolStatus status = host::ToolFailed;
   try
   {
      module = std::make_unique<host::LoadedModule>( modulePath );
      module->Start();
      host::HostTool tool( host, module->Description(), terminal, filter.UserFd(), g_interrupts );
      status = tool.Run( options );
   }
   catch ( const std::exception& e )
   {
      terminal.Finish();
      Tell( filter.UserFd(), "velqora-host: module " + modulePath + ": " + e.what() + "\n" );
   }
   g_console = nullptr;
   host.GetConsole().SetTerminal( nullptr );
   return status;
}
