#ifndef PCL_CHECK_BOX_H
#define PCL_CHECK_BOX_H

#include "platform/controls/Button.h"

namespace pcl
{

// A button that keeps a checked state, with its text beside the box.
class CheckBox : public Button
{
public:
   explicit CheckBox( const String& text = String() );
};

} // pcl

#endif
