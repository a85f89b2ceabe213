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

#endif
