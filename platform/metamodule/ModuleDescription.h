#ifndef PCL_MODULE_DESCRIPTION_H
#define PCL_MODULE_DESCRIPTION_H

#include "platform/core/String.h"
#include "platform/boundary/HostInterface.h"

namespace pcl
{

class MetaModule;

// The module object's metadata as identification hands it to the host: the
// texts are kept here, the host gets pointers into them.
class ModuleDescription
{
public:
   explicit ModuleDescription( const MetaModule& module );
   ModuleDescription( const ModuleDescription& ) = delete;
   ModuleDescription& operator=( const ModuleDescription& ) = delete;

   const host_module_description* Get() const noexcept { return &m_desc; }

private:
   IsoString m_uniqueId, m_name;
   String m_description, m_company, m_author, m_copyright, m_tradeMarks, m_fileName;
   host_module_description m_desc{};
};

} // pcl

#endif
