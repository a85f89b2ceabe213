#ifndef VELQORA_VALUE_TEXT_H
#define VELQORA_VALUE_TEXT_H

#include "platform/core/String.h"

#include <charconv>
#include <string>

namespace project_pelk
{

// The shortest text that reads back as the same value, for messages that
// quote a parameter: a value just outside a bound must not show as the bound.
inline pcl::String ShortestText( double value )
{
   char buffer[32];
   return pcl::String( std::string( buffer, std::to_chars( buffer, buffer + sizeof buffer, value ).ptr ) );
}

} // project_pelk

#endif
