#include "platform/boundary/Console.h"

#include "platform/boundary/HostBinding.h"

namespace pcl
{

void Console::Write( const String& text )
{
   Host().ConsoleWrite( text.c_str(), text.Length() );
}

void Console::WriteLn( const String& text )
{
   Write( text + "\n" );
}

void Console::WarningLn( const String& text )
{
   WriteLn( "\033[35m" + text + "\033[39m" );
}

void Console::CriticalLn( const String& text )
{
   WriteLn( "\033[31m" + text + "\033[39m" );
}

void Console::EnableAbort()
{
   Host().ConsoleEnableAbort( 1 );
}

void Console::DisableAbort()
{
   Host().ConsoleEnableAbort( 0 );
}

bool Console::AbortRequested()
{
   return Host().ConsoleAbortRequested() != 0;
}

} // pcl
