#ifndef PCL_LABEL_H
#define PCL_LABEL_H

#include "platform/controls/Control.h"

namespace pcl
{

// Text alignment bits, combined with '|'.
namespace TextAlign
{
enum mask_type
{
   Left = HOST_ALIGN_LEFT,
   Right = HOST_ALIGN_RIGHT,
   HorzCenter = HOST_ALIGN_HORZ_CENTER,
   Top = HOST_ALIGN_TOP,
   Bottom = HOST_ALIGN_BOTTOM,
   VertCenter = HOST_ALIGN_VERT_CENTER
};
}

// A line of text.
class Label : public Control
{
public:
   explicit Label( const String& text = String() );

   void SetText( const String& text );
   void SetTextAlignment( int alignment );
};

} // pcl

#endif
