#include "platform/module/HostCall.h"

namespace pcl
{

void ReportError( const String& message ) noexcept
{
   try
   {
      Console::Write( "<end><cbr>\033[31m*** Error: " + message + "\033[39m<end><cbr>\n" );
   }
   catch ( ... )
   {
      // Nothing is left to report to when the console itself fails.
   }
}

} // pcl
