#ifndef PCL_PROCESS_IMPLEMENTATION_H
#define PCL_PROCESS_IMPLEMENTATION_H

#include "platform/core/String.h"

#include <cstddef>

namespace pcl
{

class MetaParameter;
class MetaProcess;
class View;

// A process instance: one set of parameter values of a process, which the
// host creates, copies, reads and writes, and executes on views.
class ProcessImplementation
{
public:
   explicit ProcessImplementation( const MetaProcess* process ) noexcept : m_meta( process ) {}
   ProcessImplementation( const ProcessImplementation& ) = default;
   virtual ~ProcessImplementation() = default;
   ProcessImplementation& operator=( const ProcessImplementation& ) = delete;

   // The process this instance belongs to.
   const MetaProcess* Meta() const noexcept { return m_meta; }

   // Takes the parameter values of `source`.
   virtual void Assign( const ProcessImplementation& ) {}

   // Whether the instance can execute on the view; when not, why not.
   virtual bool CanExecuteOn( const View&, String& whyNot ) const;

   // Executes on the view; true when it did.
   virtual bool ExecuteOn( View& ) { return false; }

   // The address of the parameter's value in this instance; null when the
   // instance has none for it.
   virtual void* LockParameter( const MetaParameter*, size_t /*tableRow*/ ) { return nullptr; }
   // Variable-length parameters only.
   virtual bool AllocateParameter( size_t /*sizeOrLength*/, const MetaParameter*, size_t /*tableRow*/ )
   {
      return false;
   }
   virtual size_t ParameterLength( const MetaParameter*, size_t /*tableRow*/ ) const { return 0; }

   // Ask the host to execute this instance on the view, on the current view
   // of the active image window, or to open it in the process's interface.
   // True when the host did; a failure has been reported by then.
   bool LaunchOn( View& view ) const;
   bool LaunchOnCurrentView() const;
   bool LaunchInterface() const;

private:
   const MetaProcess* m_meta;
};

} // pcl

#endif
