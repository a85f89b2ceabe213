#include "platform/image/ColorSpace.h"

namespace pcl
{

String ColorSpace::Name( int colorSpace )
{
   switch ( colorSpace )
   {
   case Gray: return "Grayscale";
   case RGB: return "RGB";
   case CIEXYZ: return "CIE XYZ";
   case CIELab: return "CIE L*a*b*";
   case CIELch: return "CIE L*c*h*";
   case HSV: return "HSV";
   case HSI: return "HSI";
   default: return "Unknown";
   }
}

} // pcl
