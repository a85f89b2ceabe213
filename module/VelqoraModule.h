#ifndef VELQORA_MODULE_H
#define VELQORA_MODULE_H

#include "platform/metamodule/MetaModule.h"

#include <cstdint>

namespace pcl
{

// What the host learns about the library.
class VelqoraModule : public MetaModule
{
public:
   VelqoraModule() = default;

   const char* Version() const override;
   IsoString Name() const override;
   String Description() const override;
   String Company() const override;
   String Author() const override;
   String Copyright() const override;
   String TradeMarks() const override;
   String OriginalFileName() const override;
   void GetReleaseDate( int& year, int& month, int& day ) const override;
};

} // pcl

// Makes the module object and, for a full install (mode 0), the process.
// Returns 0; nonzero when an object could not be made.
extern "C" __attribute__(( visibility( "default" ) )) int32_t InstallPixInsightModule( int32_t mode );

#endif
