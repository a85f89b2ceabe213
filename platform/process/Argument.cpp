#include "platform/process/Argument.h"

#include "platform/core/Exception.h"
#include "platform/core/Utf16.h"
#include "platform/image/View.h"
#include "platform/boundary/HostBinding.h"

#include <charconv>
#include <fnmatch.h>
#include <string>
#include <string_view>

namespace pcl
{

namespace
{

using text = std::u16string_view;

const text PreviewSeparator = u"->";

// A whole number in plain ASCII notation, as the parser reads numeric values.
bool ReadNumber( text s, double& value )
{
   if ( s.empty() || s.size() > 64 )
      return false;
   std::string ascii;
   for ( char16_t c : s )
   {
      if ( c > 0x7f )
         return false;
      ascii += char( c );
   }
   const char* first = ascii.data();
   if ( *first == '+' )
      ++first;
   const char* last = ascii.data() + ascii.size();
   auto [end, error] = std::from_chars( first, last, value );
   return error == std::errc() && end == last;
}

bool HasWildcards( text s )
{
   return s.find_first_of( u"*?" ) != text::npos;
}

// '*' matches any run of characters, '?' any one character, and every other
// character itself. fnmatch(3) reads '\\' as itself under FNM_NOESCAPE, but
// '[' opens a bracket expression in any mode: "[[]" is the expression that
// holds '[' alone. A NUL cannot reach fnmatch, and no identifier holds one.
bool Matches( text pattern, text s )
{
   if ( pattern.find( u'\0' ) != text::npos || s.find( u'\0' ) != text::npos )
      return false;
   std::string glob;
   for ( char c : utf::ToUTF8( pattern ) )
      glob += c == '[' ? std::string( "[[]" ) : std::string( 1, c );
   return fnmatch( glob.c_str(), utf::ToUTF8( s ).c_str(), FNM_NOESCAPE ) == 0;
}

// Splits "image->preview"; `preview` is empty and `isPreview` false for a
// main view's identifier.
void SplitViewId( text id, text& image, text& preview, bool& isPreview )
{
   const size_t at = id.find( PreviewSeparator );
   isPreview = at != text::npos;
   image = id.substr( 0, at );
   preview = isPreview ? id.substr( at + PreviewSeparator.size() ) : text();
}

// The full identifiers of the open views that a pattern names.
StringList MatchViews( text image, text preview, bool isPreview )
{
   StringList items;
   const HostFunctions& host = Host();
   const size_t count = host.ViewCount();
   for ( size_t i = 0; i < count; ++i )
   {
      const char16_t* fullId = host.ViewFullId( host.ViewAt( i ) );
      if ( fullId == nullptr )
         continue;
      text viewImage, viewPreview;
      bool viewIsPreview = false;
      SplitViewId( fullId, viewImage, viewPreview, viewIsPreview );
      if ( viewIsPreview == isPreview && Matches( image, viewImage ) && Matches( preview, viewPreview ) )
         items.Add( String( fullId ) );
   }
   return items;
}

Argument ViewList( const String& argument, bool wildcards )
{
   text image, preview;
   bool isPreview = false;
   SplitViewId( argument.Std(), image, preview, isPreview );
   if ( image.empty() )
      throw Error( "Missing image identifier" );
   if ( isPreview && preview.empty() )
      throw Error( "Missing preview identifier" );
   const bool imagePattern = wildcards && HasWildcards( image );
   const bool previewPattern = wildcards && HasWildcards( preview );
   if ( !imagePattern && View::ViewById( String( std::u16string( image ) ) ).IsNull() )
      throw Error( "Image not found" );
   if ( !imagePattern && !previewPattern )
   {
      StringList items;
      items.Add( argument );
      return Argument::ItemList( argument, items );
   }
   return Argument::ItemList( argument, MatchViews( image, preview, isPreview ) );
}

} // namespace

Argument Argument::Parametric( const String& token )
{
   Argument a;
   a.m_token = token;
   const text t = token.Std();
   if ( const size_t eq = t.find( u'=' ); eq != text::npos )
   {
      a.m_id = String( std::u16string( t.substr( 0, eq ) ) );
      const text value = t.substr( eq + 1 );
      if ( ReadNumber( value, a.m_number ) )
         a.m_kind = Kind::Numeric;
      else
      {
         a.m_kind = Kind::String;
         a.m_string = String( std::u16string( value ) );
      }
   }
   else if ( !t.empty() && ( t.back() == u'+' || t.back() == u'-' ) )
   {
      a.m_kind = Kind::Switch;
      a.m_id = String( std::u16string( t.substr( 0, t.size() - 1 ) ) );
      a.m_switchOn = t.back() == u'+';
   }
   else
      a.m_id = token;
   return a;
}

Argument Argument::ItemList( const String& token, const StringList& items )
{
   Argument a;
   a.m_kind = Kind::ItemList;
   a.m_token = token;
   a.m_items = items;
   return a;
}

ArgumentList ExtractArguments( const StringList& arguments, ArgumentItemMode::value_type mode, unsigned options )
{
   if ( mode != ArgumentItemMode::AsViews )
      throw Error( "ExtractArguments: unsupported item mode." );
   const bool wildcards = ( options & ArgumentOption::AllowWildcards ) != 0;
   ArgumentList list;
   for ( const String& argument : arguments )
      if ( !argument.IsEmpty() && argument.Std().front() == u'-' )
         list.Add( Argument::Parametric( String( argument.Std().substr( 1 ) ) ) );
      else
         list.Add( ViewList( argument, wildcards ) );
   return list;
}

} // pcl
