#include "platform/String.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

namespace pcl
{

namespace
{

std::u16string FromUTF8( std::string_view s )
{
   std::u16string out;
   out.reserve( s.size() );
   for ( size_t i = 0; i < s.size(); )
   {
      unsigned char c = static_cast<unsigned char>( s[i] );
      char32_t cp;
      int extra;
      if ( c < 0x80 )      { cp = c; extra = 0; }
      else if ( c >> 5 == 0x6 ) { cp = c & 0x1F; extra = 1; }
      else if ( c >> 4 == 0xE ) { cp = c & 0x0F; extra = 2; }
      else if ( c >> 3 == 0x1E ) { cp = c & 0x07; extra = 3; }
      else { out.push_back( u'\uFFFD' ); ++i; continue; }
      if ( i + extra >= s.size() && extra > 0 )
      {
         out.push_back( u'\uFFFD' );
         break;
      }
      bool ok = true;
      for ( int k = 1; k <= extra; ++k )
      {
         unsigned char d = static_cast<unsigned char>( s[i + k] );
         if ( ( d & 0xC0 ) != 0x80 ) { ok = false; break; }
         cp = ( cp << 6 ) | ( d & 0x3F );
      }
      if ( !ok ) { out.push_back( u'\uFFFD' ); ++i; continue; }
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

template <typename T>
std::u16string Decimal( T value )
{
   std::string s = std::to_string( value );
   return std::u16string( s.begin(), s.end() );
}

} // namespace

String::String( const char* utf8 ) : m_s( FromUTF8( utf8 ? utf8 : "" ) ) {}
String::String( int value ) : m_s( Decimal( value ) ) {}
String::String( unsigned value ) : m_s( Decimal( value ) ) {}
String::String( long value ) : m_s( Decimal( value ) ) {}
String::String( unsigned long value ) : m_s( Decimal( value ) ) {}
String::String( long long value ) : m_s( Decimal( value ) ) {}
String::String( unsigned long long value ) : m_s( Decimal( value ) ) {}
String::String( bool value ) : m_s( value ? u"true" : u"false" ) {}

String String::Format( const char* format, ... )
{
   va_list args;
   va_start( args, format );
   va_list copy;
   va_copy( copy, args );
   int n = std::vsnprintf( nullptr, 0, format, copy );
   va_end( copy );
   std::vector<char> buffer( n > 0 ? size_t( n ) + 1 : 1, '\0' );
   if ( n > 0 )
      std::vsnprintf( buffer.data(), buffer.size(), format, args );
   va_end( args );
   return String( buffer.data() );
}

std::string String::ToStdUTF8() const
{
   std::string out;
   out.reserve( m_s.size() );
   for ( size_t i = 0; i < m_s.size(); ++i )
   {
      char32_t cp = m_s[i];
      if ( cp >= 0xD800 && cp < 0xDC00 && i + 1 < m_s.size() && m_s[i + 1] >= 0xDC00 && m_s[i + 1] < 0xE000 )
         cp = 0x10000 + ( ( cp - 0xD800 ) << 10 ) + ( m_s[++i] - 0xDC00 );
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

IsoString String::ToUTF8() const
{
   return IsoString( ToStdUTF8() );
}

} // pcl
