#ifndef PCL_STANDARD_STATUS_H
#define PCL_STANDARD_STATUS_H

#include "platform/image/StatusMonitor.h"

namespace pcl
{

// Progress on the console: "<info>:   0%", the percentage as it grows, then
// "done". Answers abort when the user has requested one on the console.
class StandardStatus : public StatusCallback
{
public:
   int Initialized( const StatusMonitor& ) const override;
   int Updated( const StatusMonitor& ) const override;
   int Completed( const StatusMonitor& ) const override;
};

} // pcl

#endif
