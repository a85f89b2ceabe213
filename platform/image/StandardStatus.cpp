#include "platform/image/StandardStatus.h"

#include "platform/boundary/Console.h"

namespace pcl
{

namespace
{

int AbortAnswer()
{
   return Console::AbortRequested() ? 1 : 0;
}

} // namespace

int StandardStatus::Initialized( const StatusMonitor& monitor ) const
{
   Console::Write( "<end><cbr>" + monitor.Info() + ":   0%" );
   return AbortAnswer();
}

int StandardStatus::Updated( const StatusMonitor& monitor ) const
{
   // Backspaces overwrite the previous percentage in place.
   Console::Write( String::Format( "\b\b\b\b%3d%%", monitor.Percent() ) );
   return AbortAnswer();
}

int StandardStatus::Completed( const StatusMonitor& ) const
{
   Console::WriteLn( "\b\b\b\bdone" );
   return AbortAnswer();
}

} // pcl
