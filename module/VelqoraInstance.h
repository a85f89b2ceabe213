#ifndef VELQORA_INSTANCE_H
#define VELQORA_INSTANCE_H

#include "platform/image/PixelTraits.h"

namespace pcl
{

// One set of values of the process parameters, as a run reads them.
class VelqoraInstance
{
public:
   double amount = 1.0;
   pcl_bool linear = 1;
   int32_t model = 0; // 0 = "v2", 1 = "v1"
   double targetBackground = 0.25;
   double shadowsClipping = -2.8;
};

} // pcl

#endif
