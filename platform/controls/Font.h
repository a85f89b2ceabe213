#ifndef PCL_FONT_H
#define PCL_FONT_H

#include "platform/core/String.h"
#include "platform/boundary/HostInterface.h"

namespace pcl
{

// The font of a control, as the host draws it.
class Font
{
public:
   explicit Font( host_control_handle control ) noexcept : m_control( control ) {}

   // The width of the text in physical pixels.
   int Width( const String& text ) const;

private:
   host_control_handle m_control;
};

} // pcl

#endif
