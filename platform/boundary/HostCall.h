#ifndef PCL_HOST_CALL_H
#define PCL_HOST_CALL_H

#include "platform/boundary/Console.h"
#include "platform/core/Exception.h"

#include <exception>
#include <new>

namespace pcl
{

// Writes a failure to the console in red as the host shows it.
void ReportError( const String& message ) noexcept;

// Runs a call that entered the module from the host: no exception leaves it.
// Returns true when the call returned normally. An Error is written to the
// console; an abort by the user is not shown.
template <typename F>
bool HostCall( F&& call ) noexcept
{
   try
   {
      call();
      return true;
   }
   catch ( const ProcessAborted& )
   {
   }
   catch ( const Error& e )
   {
      ReportError( e.Message() );
   }
   catch ( const std::bad_alloc& )
   {
      ReportError( "Out of memory" );
   }
   catch ( const std::exception& e )
   {
      ReportError( e.what() );
   }
   catch ( ... )
   {
      ReportError( "Unknown error" );
   }
   return false;
}

} // pcl

#endif
