#ifndef VELQORA_TESTS_ERROR_OF_H
#define VELQORA_TESTS_ERROR_OF_H

#include "platform/core/Exception.h"

#include <exception>
#include <string>

// The message of the pcl::Error (or standard exception) a call throws, or
// "no error".
template <class F>
std::string ErrorOf( F&& call )
{
   try
   {
      call();
   }
   catch ( const pcl::Error& e )
   {
      return e.Message().ToStdUTF8();
   }
   catch ( const std::exception& e )
   {
      return e.what();
   }
   return "no error";
}

#endif
