#include "host/terminal/HostConsole.h"

#include "host/terminal/Terminal.h"
#include "platform/core/Utf16.h"

namespace host
{

void Console::Write( const std::u16string& text )
{
   std::string utf8 = utf::ToUTF8( text );
   std::lock_guard<std::mutex> lock( m_mutex );
   m_transcript += utf8;
   if ( m_terminal != nullptr )
      m_terminal->Write( utf8 );
}

void Console::SetTerminal( Terminal* terminal ) noexcept
{
   std::lock_guard<std::mutex> lock( m_mutex );
   m_terminal = terminal;
}

std::string Console::Transcript() const
{
   std::lock_guard<std::mutex> lock( m_mutex );
   return m_transcript;
}

std::vector<std::string> Console::Lines() const
{
   std::string all = Transcript();
   std::vector<std::string> lines;
   size_t start = 0;
   for ( size_t i = 0; i < all.size(); ++i )
      if ( all[i] == '\n' )
      {
         lines.push_back( all.substr( start, i - start ) );
         start = i + 1;
      }
   if ( start < all.size() )
      lines.push_back( all.substr( start ) );
   return lines;
}

void Console::ClearTranscript()
{
   std::lock_guard<std::mutex> lock( m_mutex );
   m_transcript.clear();
}

} // host
