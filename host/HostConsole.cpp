#include "host/HostConsole.h"

#include "platform/core/Utf16.h"

#include <cstdio>

namespace host
{

void Console::Write( const std::u16string& text )
{
   std::string utf8 = utf::ToUTF8( text );
   std::lock_guard<std::mutex> lock( m_mutex );
   m_transcript += utf8;
   if ( m_echo )
   {
      std::fwrite( utf8.data(), 1, utf8.size(), stdout );
      std::fflush( stdout );
   }
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
