#include "platform/controls/Edit.h"

namespace pcl
{

Edit::Edit() : Control( HOST_CONTROL_EDIT )
{
}

void Edit::SetText( const String& text )
{
   Control::SetText( HOST_PROPERTY_TEXT, text, "Unable to set an edit's text" );
}

void Edit::SetNumericFormat( double lower, double upper, int precision )
{
   SetNumber( HOST_PROPERTY_MINIMUM, lower, "Unable to set an edit's range" );
   SetNumber( HOST_PROPERTY_MAXIMUM, upper, "Unable to set an edit's range" );
   SetNumber( HOST_PROPERTY_PRECISION, precision, "Unable to set an edit's precision" );
}

} // pcl
