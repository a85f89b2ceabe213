#include "host/HostConsole.h"

#include <cstdio>

namespace host
{

std::string ToUTF8( const std::u16string& s )
{
   std::string out;
   out.reserve( s.size() );
   for ( size_t i = 0; i < s.size(); ++i )
   {
      char32_t cp = s[i];
      if ( cp >= 0xD800 && cp < 0xDC00 && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000 )
         cp = 0x10000 + ( ( cp - 0xD800 ) << 10 ) + ( s[++i] - 0xDC00 );
      if ( cp < 0x80 )
         out.push_back( char( cp ) );
      else if ( cp < 0x800 )
      {
         out.push_back( char( 0xC0 | ( cp >> 6 ) ) );
         out.push_back( char( 0x80 | ( cp & 0x3F ) ) );
      }
      else if ( cp < 0x10000 )
      {
         out.push_back( char( 0xE0 | ( cp >> 12 ) ) );
         out.push_back( char( 0x80 | ( ( cp >> 6 ) & 0x3F ) ) );
         out.push_back( char( 0x80 | ( cp & 0x3F ) ) );
      }
      else
      {
         out.push_back( char( 0xF0 | ( cp >> 18 ) ) );
         out.push_back( char( 0x80 | ( ( cp >> 12 ) & 0x3F ) ) );
         out.push_back( char( 0x80 | ( ( cp >> 6 ) & 0x3F ) ) );
         out.push_back( char( 0x80 | ( cp & 0x3F ) ) );
      }
   }
   return out;
}

std::u16string FromUTF8( const std::string& s )
{
   // The host's own texts are ASCII; anything else passes byte by byte.
   return std::u16string( s.begin(), s.end() );
}

void Console::Write( const std::u16string& text )
{
   std::string utf8 = ToUTF8( text );
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
