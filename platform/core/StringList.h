#ifndef PCL_STRING_LIST_H
#define PCL_STRING_LIST_H

#include "platform/core/Array.h"
#include "platform/core/String.h"

namespace pcl
{

using StringList = Array<String>;

} // pcl

#endif
