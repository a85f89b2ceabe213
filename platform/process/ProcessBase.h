#ifndef PCL_PROCESS_BASE_H
#define PCL_PROCESS_BASE_H

#include "platform/core/String.h"

#include <cstdint>

namespace pcl
{

// What every process answers about itself, whether it is described by the
// module (MetaProcess) or known to the host.
class ProcessBase
{
public:
   virtual ~ProcessBase() = default;

   virtual IsoString Id() const = 0;
   virtual uint32_t Version() const { return 0x100; }
   virtual String Description() const { return String(); }
   virtual bool CanProcessCommandLines() const { return false; }
};

} // pcl

#endif
