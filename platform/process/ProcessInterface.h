#ifndef PCL_PROCESS_INTERFACE_H
#define PCL_PROCESS_INTERFACE_H

#include "platform/controls/Control.h"
#include "platform/core/String.h"
#include "platform/process/MetaObject.h"

#include <cstdint>

namespace pcl
{

class MetaProcess;
class ProcessImplementation;

// A process's window, attached to the module object. The host makes the
// window when the interface is declared at initialisation; until then the
// control stands for no host window.
class ProcessInterface : public Control, public MetaObject
{
public:
   // Attaches the interface to the module object; throws Error without one.
   ProcessInterface();
   ~ProcessInterface() override;

   // Declares the interface to the host, which hands over its window.
   void PerformAPIDefinitions() override;

   virtual IsoString Id() const = 0;
   virtual MetaProcess* Process() const = 0;
   virtual const char** IconImageXPM() const { return nullptr; }
   // Executes the interface's instance on the current view.
   virtual void ApplyInstance() const {}
   // Brings the interface's instance back to the defaults.
   virtual void ResetInstance() {}
   // Opens the window for `process`; `instance` is the one the user opened it
   // with, if any. True when the interface takes the process.
   virtual bool Launch( const MetaProcess& process, const ProcessImplementation* instance, bool& dynamic,
                        unsigned& flags );
   // A new instance with the interface's values; the caller owns it.
   virtual ProcessImplementation* NewProcess() const { return nullptr; }
   // Whether the interface takes the instance; when not, why not. The host
   // asks only when RequiresInstanceValidation() is true.
   virtual bool ValidateProcess( const ProcessImplementation&, String& /*whyNot*/ ) const { return true; }
   virtual bool RequiresInstanceValidation() const { return false; }
   // Takes the instance's values; true when it did.
   virtual bool ImportProcess( const ProcessImplementation& ) { return false; }

   virtual uint32_t Version() const { return 0x100; }
   virtual bool CanImportInstances() const { return true; }
   virtual bool IsInstanceGenerator() const { return true; }
   virtual bool IsDynamicInterface() const { return false; }
};

} // pcl

#endif
