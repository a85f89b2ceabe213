#include "platform/controls/CheckBox.h"

namespace pcl
{

CheckBox::CheckBox( const String& text ) : Button( HOST_CONTROL_CHECK_BOX )
{
   if ( !text.IsEmpty() )
      SetText( text );
}

} // pcl
