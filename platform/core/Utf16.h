#ifndef VELQORA_UTF16_H
#define VELQORA_UTF16_H

// Conversions between UTF-8 and UTF-16, shared by both sides of the host
// boundary: the module's strings are 16-bit, the host's console is UTF-8.
// Malformed input becomes U+FFFD, one for each maximal subpart as browsers
// decode it: a lead byte with the continuation bytes that could still have
// completed it make one U+FFFD, every other stray byte one of its own.
// Overlong forms, encoded surrogates and code points above U+10FFFF are
// malformed; so is a surrogate without its partner in UTF-16.

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
      if ( cp >= 0xD800 && cp < 0xE000 )
      {
         const bool paired = cp < 0xDC00 && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000;
         cp = paired ? 0x10000 + ( ( cp - 0xD800 ) << 10 ) + ( s[++i] - 0xDC00 ) : 0xFFFD;
      }
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
      const unsigned char c = static_cast<unsigned char>( s[i++] );
      if ( c < 0x80 )
      {
         out.push_back( c );
         continue;
      }
      // The lead byte gives the length and the first continuation byte's
      // range, which rules out overlong forms, surrogates and more than U+10FFFF.
      int extra;
      char32_t cp;
      unsigned char low = 0x80, high = 0xBF;
      if ( c >= 0xC2 && c <= 0xDF )
         extra = 1, cp = c & 0x1F;
      else if ( c >= 0xE0 && c <= 0xEF )
      {
         extra = 2, cp = c & 0x0F;
         low = c == 0xE0 ? 0xA0 : 0x80;
         high = c == 0xED ? 0x9F : 0xBF;
      }
      else if ( c >= 0xF0 && c <= 0xF4 )
      {
         extra = 3, cp = c & 0x07;
         low = c == 0xF0 ? 0x90 : 0x80;
         high = c == 0xF4 ? 0x8F : 0xBF;
      }
      else
      {
         out.push_back( u'\uFFFD' );
         continue;
      }
      for ( ; extra > 0 && i < s.size(); --extra, ++i, low = 0x80, high = 0xBF )
      {
         const unsigned char d = static_cast<unsigned char>( s[i] );
         if ( d < low || d > high )
            break; // this byte starts anew
         cp = ( cp << 6 ) | ( d & 0x3F );
      }
      if ( extra > 0 )
         out.push_back( u'\uFFFD' );
      else if ( cp >= 0x10000 )
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
