#ifndef VELQORA_HOST_INTERFACES_H
#define VELQORA_HOST_INTERFACES_H

#include "host/registry/HostControls.h"
#include "host/registry/ProcessRegistry.h"
#include "platform/boundary/HostInterface.h"

#include <memory>
#include <string>
#include <vector>

namespace host
{

// A process interface as a module declared it: its window, which the host
// keeps as a tree of controls, and what a user does with it. A module's
// failure has been written to the console when one of these throws.
class Interface
{
public:
   Interface( const host_interface_desc& desc, Process& process, ControlElement& window, const Controls& controls );
   Interface( const Interface& ) = delete;
   Interface& operator=( const Interface& ) = delete;

   const std::string& Id() const noexcept { return m_id; }
   uint32_t Version() const noexcept { return m_version; }
   const std::vector<std::string>& IconXPM() const noexcept { return m_icon; }
   Process& GetProcess() const noexcept { return m_process; }
   bool CanImportInstances() const noexcept { return m_canImportInstances; }
   bool IsInstanceGenerator() const noexcept { return m_isInstanceGenerator; }
   bool RequiresInstanceValidation() const noexcept { return m_requiresInstanceValidation; }
   ControlElement& Window() const noexcept { return m_window; }

   // Opens the window for a process, with the instance the user opened it
   // with, if any; true when the interface took the process. Throws
   // std::runtime_error when the module failed.
   bool Launch( const Process& process, const Instance* instance = nullptr );
   // For the interface's own process.
   bool Launch() { return Launch( m_process ); }
   // Opens the window with an instance of the process, which it then shows,
   // as when a user opens an instance's interface. Throws
   // std::runtime_error when the window did not open or took no instance.
   void Open( const Process& process, module_instance_handle instance );
   // A new instance with the window's values (the user drags one off it).
   std::unique_ptr<Instance> NewInstance();
   // Hands the window an instance (the user drops one on it). False, with the
   // reason in `whyNot`, when the interface refuses it.
   bool Import( const Instance& instance, std::string& whyNot ) { return Import( instance.Handle(), whyNot ); }
   bool Import( module_instance_handle instance, std::string& whyNot );
   // The window's reset button.
   void Reset();
   // The window's apply button: its instance on the current view.
   void Apply();

   // The window's controls, as Controls::Print shows them.
   std::string Print() const;

private:
   std::string m_id;
   uint32_t m_version;
   std::vector<std::string> m_icon;
   Process& m_process;
   bool m_canImportInstances, m_isInstanceGenerator, m_requiresInstanceValidation;
   module_interface_handle m_object;
   const module_interface_callbacks* m_callbacks;
   ControlElement& m_window;
   const Controls& m_controls;

   bool LaunchWith( const Process& process, module_instance_handle instance );
};

// The interfaces declared by the loaded modules.
class InterfaceRegistry
{
public:
   // Throws std::runtime_error for a malformed declaration, an id in use, or
   // a process the host has not been told of.
   Interface& Declare( const host_interface_desc& desc, const ProcessRegistry& processes, Controls& controls );
   Interface* Find( const std::string& id ) const noexcept;
   // The interface declared for the process; null when none.
   Interface* ForProcess( const Process& process ) const noexcept;
   const std::vector<std::unique_ptr<Interface>>& Interfaces() const noexcept { return m_interfaces; }

   // The declared interfaces, one line each.
   std::string Listing() const;

private:
   std::vector<std::unique_ptr<Interface>> m_interfaces;
};

} // host

#endif
