#ifndef VELQORA_UTF16_H
#define VELQORA_UTF16_H

// Conversions between UTF-8 and UTF-16, shared by both sides of the host
// boundary: the module's strings are 16-bit, the host's console is UTF-8.
// Malformed input becomes U+FFFD.

#include <string>
#include <string_view>

namespace utf
{

inline std::string ToUTF8( std::u16string_view s )
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

inline std::u16string FromUTF8( std::string_view s )
{
   std::u16string out;
   out.reserve( s.size() );
   for ( size_t i = 0; i < s.size(); )
   {
      const unsigned char c = static_cast<unsigned char>( s[i] );
      char32_t cp;
      int extra;
      if ( c < 0x80 )
         cp = c, extra = 0;
      else if ( c >> 5 == 0x6 )
         cp = c & 0x1F, extra = 1;
      else if ( c >> 4 == 0xE )
         cp = c & 0x0F, extra = 2;
      else if ( c >> 3 == 0x1E )
         cp = c & 0x07, extra = 3;
      else
      {
         out.push_back( u'\uFFFD' );
         ++i;
         continue;
      }
      if ( i + extra >= s.size() && extra > 0 )
      {
         out.push_back( u'\uFFFD' );
         break;
      }
      bool ok = true;
      for ( int k = 1; k <= extra; ++k )
      {
         const unsigned char d = static_cast<unsigned char>( s[i + k] );
         if ( ( d & 0xC0 ) != 0x80 )
         {
            ok = false;
            break;
         }
         cp = ( cp << 6 ) | ( d & 0x3F );
      }
      if ( !ok )
      {
         out.push_back( u'\uFFFD' );
         ++i;
         continue;
      }
      i += extra + 1;
      if ( cp >= 0x10000 )
      {
         cp -= 0x10000;
         out.push_back( char16_t( 0xD800 + ( cp >> 10 ) ) );
         out.push_back( char16_t( 0xDC00 + ( cp & 0x3FF ) ) );
      }
      else
         out.push_back( char16_t( cp ) );
   }
   return out;
}

} // utf

#endif
