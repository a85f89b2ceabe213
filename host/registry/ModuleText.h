#ifndef VELQORA_HOST_MODULE_TEXT_H
#define VELQORA_HOST_MODULE_TEXT_H

#include "platform/core/Utf16.h"

#include <string>

namespace host
{

// A text handed over the module boundary, where null stands for the empty text.
inline std::string Text( const char* s )
{
   return s != nullptr ? s : "";
}

inline std::string Text( const char16_t* s )
{
   return s != nullptr ? utf::ToUTF8( s ) : "";
}

} // host

#endif
