#ifndef PCL_META_MODULE_H
#define PCL_META_MODULE_H

#include "platform/core/String.h"
#include "platform/process/MetaObject.h"

namespace pcl
{

// The module object: what the host learns about the loaded library. One per
// library, made by InstallPixInsightModule; processes and interfaces attach
// themselves to it.
class MetaModule : public MetaObject
{
public:
   // Throws Error when the library has a module object already.
   MetaModule();
   ~MetaModule() override;

   virtual IsoString UniqueId() const { return IsoString(); }
   // A static string: the host keeps the pointer.
   virtual const char* Version() const = 0;
   virtual IsoString Name() const = 0;
   virtual String Description() const { return String(); }
   virtual String Company() const { return String(); }
   virtual String Author() const { return String(); }
   virtual String Copyright() const { return String(); }
   virtual String TradeMarks() const { return String(); }
   virtual String OriginalFileName() const { return String(); }
   virtual void GetReleaseDate( int& year, int& month, int& day ) const;
};

// The library's module object; null until one is made.
extern MetaModule* Module;

} // pcl

#endif
