#ifndef PCL_META_PROCESS_H
#define PCL_META_PROCESS_H

#include "platform/core/StringList.h"
#include "platform/boundary/HostInterface.h"
#include "platform/process/MetaObject.h"
#include "platform/process/ProcessBase.h"

namespace pcl
{

class ProcessImplementation;
class ProcessInterface;

// A process of the module, attached to the module object: its metadata, its
// parameters (its children), and the making of its instances.
class MetaProcess : public MetaObject, public ProcessBase
{
public:
   // Attaches the process to the module object; throws Error without one.
   MetaProcess();
   ~MetaProcess() override;

   // Declares the process and its parameters to the host.
   void PerformAPIDefinitions() override;

   virtual IsoString Category() const { return IsoString(); }
   virtual const char** IconImageXPM() const { return nullptr; }
   virtual ProcessInterface* DefaultInterface() const { return nullptr; }

   // A new instance with default values; the caller owns it.
   virtual ProcessImplementation* Create() const = 0;
   // A copy of `source`, or null when this process cannot copy it; the caller
   // owns it.
   virtual ProcessImplementation* Clone( const ProcessImplementation& source ) const = 0;

   // Runs a command line whose first word named this process; the arguments
   // follow it. Called only when CanProcessCommandLines() is true.
   virtual int ProcessCommandLine( const StringList& arguments ) const;

   // The host's record of this process once it is declared; null before.
   host_process_handle HostHandle() const noexcept { return m_hostHandle; }

private:
   host_process_handle m_hostHandle = nullptr;
};

} // pcl

#endif
