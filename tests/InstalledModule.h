#ifndef VELQORA_TESTS_INSTALLED_MODULE_H
#define VELQORA_TESTS_INSTALLED_MODULE_H

#include "module/VelqoraInstance.h"
#include "module/VelqoraModule.h"
#include "module/VelqoraProcess.h"

// The module installed in the test's own process, once, as the host installs
// it: its module object, process and parameters live to the end.
inline const pcl::VelqoraProcess* InstalledProcess()
{
   if ( pcl::TheVelqoraProcess == nullptr )
      InstallPixInsightModule( 0 );
   return pcl::TheVelqoraProcess;
}

inline pcl::VelqoraInstance DefaultInstance()
{
   return pcl::VelqoraInstance( InstalledProcess() );
}

// A process and an instance that are not Velqora's, for what Velqora must
// not take from them.
class OtherInstance : public pcl::ProcessImplementation
{
public:
   using ProcessImplementation::ProcessImplementation;
};

class OtherProcess : public pcl::MetaProcess
{
public:
   pcl::IsoString Id() const override { return "Other"; }
   pcl::ProcessImplementation* Create() const override { return new OtherInstance( this ); }
   pcl::ProcessImplementation* Clone( const pcl::ProcessImplementation& ) const override { return nullptr; }
};

#endif
