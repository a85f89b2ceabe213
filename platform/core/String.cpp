#include "platform/core/String.h"

#include "platform/core/Utf16.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

namespace pcl
{

namespace
{

template <typename T>
std::u16string Decimal( T value )
{
   std::string s = std::to_string( value );
   return std::u16string( s.begin(), s.end() );
}

} // namespace

String::String( const char* utf8 ) : m_s( utf::FromUTF8( utf8 ? utf8 : "" ) ) {}
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
   return utf::ToUTF8( m_s );
}

IsoString String::ToUTF8() const
{
   return IsoString( ToStdUTF8() );
}

} // pcl
