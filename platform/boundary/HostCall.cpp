#include "platform/boundary/HostCall.h"

#include "platform/boundary/HostBinding.h"

#include <cstdio>

namespace pcl
{

void ReportError( const String& message ) noexcept
{
   try
   {
      // Before initialisation (identification) there is no console yet.
      if ( !IsHostBound() )
      {
         std::fprintf( stderr, "*** Error: %s\n", message.ToStdUTF8().c_str() );
         return;
      }
      Console::Write( "<end><cbr>\033[31m*** Error: " + message + "\033[39m<end><cbr>\n" );
   }
   catch ( ... )
   {
      // Nothing is left to report to when the console itself fails.
   }
}

} // pcl
