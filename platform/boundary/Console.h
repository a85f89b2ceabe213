#ifndef PCL_CONSOLE_H
#define PCL_CONSOLE_H

#include "platform/core/String.h"

namespace pcl
{

// The host's console. Markup tags and ANSI escape sequences pass through to
// the host unchanged.
class Console
{
public:
   static void Write( const String& text );
   static void WriteLn( const String& text = String() );
   // Magenta line: ESC "[35m" text ESC "[39m".
   static void WarningLn( const String& text );
   // Red line: ESC "[31m" text ESC "[39m".
   static void CriticalLn( const String& text );

   // Lets the user request an abort, which status callbacks then report.
   static void EnableAbort();
   static void DisableAbort();
   static bool AbortRequested();
};

} // pcl

#endif
