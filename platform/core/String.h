#ifndef PCL_STRING_H
#define PCL_STRING_H

#include <string>
#include <string_view>

namespace pcl
{

// 8-bit string for identifiers.
class IsoString
{
public:
   IsoString() = default;
   IsoString( const char* s ) : m_s( s ? s : "" ) {}
   IsoString( std::string s ) : m_s( std::move( s ) ) {}

   const char* c_str() const noexcept { return m_s.c_str(); }
   size_t Length() const noexcept { return m_s.size(); }
   bool IsEmpty() const noexcept { return m_s.empty(); }
   const std::string& Std() const noexcept { return m_s; }

   friend bool operator==( const IsoString&, const IsoString& ) = default;
   friend IsoString operator+( const IsoString& a, const IsoString& b ) { return IsoString( a.m_s + b.m_s ); }

private:
   std::string m_s;
};

// The platform's string: 16-bit characters. Text given as 8-bit characters is
// read as UTF-8.
class String
{
public:
   using char_type = char16_t;

   String() = default;
   String( const char16_t* s ) : m_s( s ? s : u"" ) {}
   String( std::u16string s ) : m_s( std::move( s ) ) {}
   String( const char* utf8 );
   String( const std::string& utf8 ) : String( utf8.c_str() ) {}
   String( const IsoString& s ) : String( s.c_str() ) {}
   // Numbers in plain decimal, booleans as "true" and "false".
   explicit String( int value );
   explicit String( unsigned value );
   explicit String( long value );
   explicit String( unsigned long value );
   explicit String( long long value );
   explicit String( unsigned long long value );
   explicit String( bool value );

   // printf-style formatting.
   static String Format( const char* format, ... ) __attribute__(( format( printf, 1, 2 ) ));

   const char16_t* c_str() const noexcept { return m_s.c_str(); }
   size_t Length() const noexcept { return m_s.size(); }
   bool IsEmpty() const noexcept { return m_s.empty(); }
   const std::u16string& Std() const noexcept { return m_s; }

   IsoString ToUTF8() const;
   std::string ToStdUTF8() const;

   String& operator+=( const String& s ) { m_s += s.m_s; return *this; }

   friend bool operator==( const String&, const String& ) = default;
   friend String operator+( const String& a, const String& b ) { return String( a.m_s + b.m_s ); }
   friend String operator+( const String& a, const char* b ) { return a + String( b ); }
   friend String operator+( const char* a, const String& b ) { return String( a ) + b; }

private:
   std::u16string m_s;
};

} // pcl

#endif
