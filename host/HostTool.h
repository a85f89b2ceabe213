#ifndef VELQORA_HOST_TOOL_H
#define VELQORA_HOST_TOOL_H

#include "platform/boundary/HostInterface.h"

#include <atomic>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace host
{

class Host;
class Instance;
class Interface;
struct ModuleDescription;
class Terminal;
class View;

// velqora-host's exit statuses.
enum ToolStatus
{
   ToolSucceeded = 0,
   ToolFailed = 1,   // a step failed; one line on standard error says which and why
   ToolMisused = 2,  // the command line is wrong
   ToolAborted = 130,   // Ctrl-C: the run stopped, nothing more was done or saved
   ToolTerminated = 143 // SIGTERM during a save, which was abandoned
};

// One step of velqora-host's command line; the steps run in their order.
struct ToolStep
{
   std::string option;            // "--open", "--stf", ...
   std::vector<std::string> args; // its arguments
};

struct ToolOptions
{
   std::string module; // empty: Velqora-pxm.so beside the program
   bool overwrite = false;
   std::vector<ToolStep> steps;
};

// Throws std::invalid_argument with what is wrong.
ToolOptions ParseToolArguments( const std::vector<std::string>& arguments );
const char* ToolUsage() noexcept;

// "m,c0,c1,r0,r1"; throws std::invalid_argument.
host_stf ParseScreenTransferFunction( const std::string& text );

// A valid identifier from a file name: its name without directory and
// extension, other characters than letters, digits and '_' made '_', and a
// leading digit (or nothing) preceded by '_'.
std::string IdentifierFromFileName( const std::string& path );

// Runs the steps on the host, whose module is loaded and initialised, with
// the console shown on the terminal.
class HostTool
{
public:
   HostTool( Host& host, const ModuleDescription& module, Terminal& terminal, int errorFd,
             const std::atomic<int>& interrupts ) noexcept;
   ~HostTool();

   // Stops at the first failure, with its one line on `errorFd`.
   ToolStatus Run( const ToolOptions& options );

private:
   Host& m_host;
   const ModuleDescription& m_module;
   Terminal& m_terminal;
   int m_errorFd;
   const std::atomic<int>& m_interrupts;
   std::unique_ptr<Instance> m_instance;
   std::map<std::string, std::vector<std::string>> m_keywords; // by image identifier

   void Step( const ToolStep& step, bool overwrite );
   View& CurrentView() const;
   Instance& TheInstance();
   Interface& TheWindow();
   void Say( const std::string& text );
};

} // host

#endif
