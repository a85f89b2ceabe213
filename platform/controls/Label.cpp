#include "platform/controls/Label.h"

namespace pcl
{

Label::Label( const String& text ) : Control( HOST_CONTROL_LABEL )
{
   if ( !text.IsEmpty() )
      SetText( text );
}

void Label::SetText( const String& text )
{
   Control::SetText( HOST_PROPERTY_TEXT, text, "Unable to set a label's text" );
}

void Label::SetTextAlignment( int alignment )
{
   SetNumber( HOST_PROPERTY_TEXT_ALIGNMENT, alignment, "Unable to align a label's text" );
}

} // pcl
