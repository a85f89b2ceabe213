#ifndef PCL_COLOR_SPACE_H
#define PCL_COLOR_SPACE_H

#include "platform/core/String.h"

namespace pcl
{

namespace ColorSpace
{

enum value_type { Gray = 0, RGB = 1, CIEXYZ = 2, CIELab = 3, CIELch = 4, HSV = 5, HSI = 6 };

// "Grayscale" for 0, "RGB" for 1, and the other spaces' names.
String Name( int colorSpace );

// Colour channels of the space: 1 for grayscale, 3 for every other space.
constexpr int NumberOfNominalChannels( int colorSpace ) noexcept
{
   return colorSpace == Gray ? 1 : 3;
}

} // ColorSpace

} // pcl

#endif
