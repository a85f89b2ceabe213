#include "module/VelqoraModule.h"

#include "module/VelqoraInterface.h"
#include "module/VelqoraProcess.h"
#include "platform/boundary/HostCall.h"
#include "platform/boundary/HostInterface.h"

namespace pcl
{

const char* VelqoraModule::Version() const
{
   return "PIXINSIGHT_MODULE_VERSION_1.1.0.0096.eng";
}

IsoString VelqoraModule::Name() const
{
   return "Velqora";
}

String VelqoraModule::Description() const
{
   return "PixInsight Velqora Process Module";
}

String VelqoraModule::Company() const
{
   return String();
}

String VelqoraModule::Author() const
{
   return "The Velqora developers";
}

String VelqoraModule::Copyright() const
{
   return "Copyright (c) 2026 The Velqora developers";
}

String VelqoraModule::TradeMarks() const
{
   return String();
}

String VelqoraModule::OriginalFileName() const
{
   return "Velqora-pxm.so";
}

void VelqoraModule::GetReleaseDate( int& year, int& month, int& day ) const
{
   year = 2026;
   month = 5;
   day = 18;
}

} // pcl

// The objects live as long as the library is loaded. No exception may cross
// into the host: a failure is reported (before initialisation, on standard
// error) and answered with a nonzero result.
int32_t InstallPixInsightModule( int32_t mode )
{
   return pcl::HostCall( [&] {
             new pcl::VelqoraModule;
             if ( mode == 0 )
             {
                new pcl::VelqoraProcess;
                new pcl::VelqoraInterface;
             }
          } )
             ? 0
             : 1;
}
