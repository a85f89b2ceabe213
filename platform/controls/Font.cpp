#include "platform/controls/Font.h"

#include "platform/controls/UIObject.h"
#include "platform/boundary/HostBinding.h"

namespace pcl
{

int Font::Width( const String& text ) const
{
   int32_t width = 0;
   CheckHostResult( Host().FontTextWidth( m_control, text.c_str(), text.Length(), &width ), "Unable to measure a text" );
   return width;
}

} // pcl
