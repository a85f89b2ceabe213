#ifndef PCL_EDIT_H
#define PCL_EDIT_H

#include "platform/controls/Control.h"

namespace pcl
{

// A one-line text field.
class Edit : public Control
{
public:
   Edit();

   void SetText( const String& text );
   // What the field accepts, for the host to show: a number in the range with
   // the given decimals.
   void SetNumericFormat( double lower, double upper, int precision );
};

} // pcl

#endif
