#ifndef VELQORA_HOST_PROCESS_REGISTRY_H
#define VELQORA_HOST_PROCESS_REGISTRY_H

#include "platform/boundary/HostInterface.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace host
{

class Console;
class Instance;
class ProcessRegistry;
class View;

// A parameter as its process declared it.
struct Parameter
{
   std::string id;
   int type = 0; // HOST_PARAMETER_*
   module_parameter_handle handle = nullptr;
   // real
   double defaultReal = 0;
   bool hasRange = false;
   double minimum = 0, maximum = 0;
   int precision = -1;
   bool scientific = false;
   // boolean
   bool defaultBoolean = false;
   // enumeration
   std::vector<std::string> elementIds;
   std::vector<int32_t> elementValues;
   size_t defaultIndex = 0;
};

// A process as a module declared it, with the callbacks through which the
// host works with its instances.
class Process
{
public:
   Process( const host_process_desc& desc, ProcessRegistry& registry );
   ~Process();
   Process( const Process& ) = delete;
   Process& operator=( const Process& ) = delete;

   const std::string& Id() const noexcept { return m_id; }
   const std::string& Category() const noexcept { return m_category; }
   uint32_t Version() const noexcept { return m_version; }
   const std::string& Description() const noexcept { return m_description; }
   // The icon's XPM lines; empty when the process has none.
   const std::vector<std::string>& IconXPM() const noexcept { return m_icon; }
   bool CanProcessCommandLines() const noexcept { return m_canProcessCommandLines; }

   // In the order of their declaration.
   const std::vector<Parameter>& Parameters() const noexcept { return m_parameters; }
   const Parameter* FindParameter( const std::string& id ) const noexcept;
   // Throws std::runtime_error for a malformed declaration or an id in use.
   void DeclareParameter( const host_parameter_desc& desc );

   // A new instance with the defaults; throws std::runtime_error when the
   // module fails to make one.
   std::unique_ptr<Instance> Create() const;
   // Takes ownership of an instance the module made for this process.
   std::unique_ptr<Instance> Adopt( module_instance_handle instance ) const;

   // Keeps a copy of the instance for the process's interface; false when
   // the module declines the copy. Opening the interface's window, if the
   // process has one, is the caller's.
   bool LaunchInterface( module_instance_handle instance );
   // The instance that the interface shows; null until it is opened.
   const Instance* InterfaceInstance() const noexcept { return m_interfaceInstance.get(); }

   // Executes an instance of this process on the view as a user applies it:
   // when the instance cannot execute there, the reason goes to the console.
   // True when the execution succeeded.
   bool Execute( module_instance_handle instance, View& view ) const;

   // Runs a command line whose first word named this process. Throws
   // std::runtime_error when the process takes none; false when it failed
   // or gave a nonzero result (the module has reported why).
   bool ProcessCommandLine( const std::vector<std::string>& arguments ) const;

   module_process_handle ModuleHandle() const noexcept { return m_module; }
   const module_process_callbacks& Callbacks() const noexcept { return *m_callbacks; }

private:
   ProcessRegistry& m_registry;
   std::string m_id, m_category, m_description;
   uint32_t m_version;
   std::vector<std::string> m_icon;
   bool m_canProcessCommandLines;
   module_process_handle m_module;
   const module_process_callbacks* m_callbacks;
   std::vector<Parameter> m_parameters;
   std::unique_ptr<Instance> m_interfaceInstance;
};

// A process instance that the host owns. Parameters are read and written
// through the address the module hands out for each, by its declared type.
class Instance
{
public:
   Instance( const Process& process, module_instance_handle handle ) noexcept;
   ~Instance();
   Instance( const Instance& ) = delete;
   Instance& operator=( const Instance& ) = delete;

   const Process& GetProcess() const noexcept { return m_process; }
   module_instance_handle Handle() const noexcept { return m_handle; }

   // A copy; null when the module declines it.
   std::unique_ptr<Instance> Clone() const;
   // Takes the values of `source`; false when the module failed.
   bool Assign( const Instance& source );
   bool CanExecuteOn( View& view, std::string& whyNot ) const;
   // As a user applies it (see Process::Execute).
   bool ExecuteOn( View& view );

   // Writes a parameter from outside the module, checked against what the
   // process declared: the id, a real's range, an enumeration's element id or
   // index, a boolean's "true"/"false"/"1"/"0". Throws std::runtime_error and
   // leaves the instance as it was when the value is refused.
   void SetParameter( const std::string& id, const std::string& value );
   // "id=value".
   void SetParameter( const std::string& assignment );

   double RealValue( const std::string& id ) const;
   bool BooleanValue( const std::string& id ) const;
   int32_t EnumerationIndex( const std::string& id ) const;
   // The value as text: a real in shortest decimal form, "true"/"false", an
   // element id (or the index when it names no element).
   std::string ParameterText( const std::string& id ) const;

private:
   const Process& m_process;
   module_instance_handle m_handle;

   void* Address( const Parameter& parameter, int type ) const;
   const Parameter& Declared( const std::string& id ) const;
};

// The processes declared by the loaded modules.
class ProcessRegistry
{
public:
   // Reasons why an instance cannot execute go to the console.
   explicit ProcessRegistry( Console& console ) noexcept : m_console( console ) {}
   ProcessRegistry( const ProcessRegistry& ) = delete;
   ProcessRegistry& operator=( const ProcessRegistry& ) = delete;

   // Throws std::runtime_error for a malformed declaration or an id in use.
   Process& Declare( const host_process_desc& desc );
   Process* Find( const std::string& id ) const noexcept;
   // Null when the handle is not one this registry gave out.
   Process* FromHandle( host_process_handle handle ) const noexcept;
   const std::vector<std::unique_ptr<Process>>& Processes() const noexcept { return m_processes; }
   void Clear() noexcept { m_processes.clear(); }

   // Writes a failure to the console in red, as the platform shows errors.
   void ReportError( const std::string& message );

   // What the processes were asked to do, in order: "<process> on <view>"
   // for each execution, "<process> interface" for each opening of an
   // interface.
   const std::vector<std::string>& Log() const noexcept { return m_log; }
   void Record( std::string entry ) { m_log.push_back( std::move( entry ) ); }
   void ClearLog() noexcept { m_log.clear(); }
   // How many executions on views have failed, refused ones included.
   size_t FailedExecutions() const noexcept { return m_failedExecutions; }
   void CountFailedExecution() noexcept { ++m_failedExecutions; }

   // The declared processes and their parameters, one line each.
   std::string Listing() const;

   // Creates an instance of the process with that id; throws std::runtime_error
   // for an unknown id.
   std::unique_ptr<Instance> Create( const std::string& processId ) const;

   // Runs a command line as the platform's console does: the first word names
   // the process, the rest, split as a shell splits them, are its arguments.
   // Throws std::runtime_error for a line the host cannot run (no process,
   // unknown process, unbalanced quotes); false when the process failed or
   // an execution that it launched on a view failed.
   bool RunCommandLine( const std::string& line ) const;

private:
   Console& m_console;
   std::vector<std::unique_ptr<Process>> m_processes;
   std::vector<std::string> m_log;
   size_t m_failedExecutions = 0;
};

// A copy of an icon's XPM lines: the header's row and colour counts tell how
// many follow it. Empty for none; throws std::runtime_error for a malformed one.
std::vector<std::string> CopyXPM( const char* const* xpm );

// Splits a command line into words as a shell does: blanks separate words,
// quotes ('...' literal, "..." with \" and \\) keep blanks, a backslash
// outside quotes takes the next character literally. Throws
// std::runtime_error for an unbalanced quote.
std::vector<std::string> SplitCommandLine( const std::string& line );

} // host

#endif
