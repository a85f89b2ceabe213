#ifndef PCL_ARGUMENT_H
#define PCL_ARGUMENT_H

#include "platform/core/Array.h"
#include "platform/core/StringList.h"

namespace pcl
{

// One parsed command-line argument.
//
// An argument beginning with '-' is parametric; its token is the text after
// that dash. Text with '=' is numeric when the value after the '=' reads as a
// number, a string otherwise, and its id is the text before the '='; text
// ending in '+' or '-' is a switch, its id the text without that sign; any
// other text is a literal whose id is the token. Every other argument is an
// item list: its token is the argument, its items the identifiers it names.
class Argument
{
public:
   bool IsNumeric() const noexcept { return m_kind == Kind::Numeric; }
   bool IsString() const noexcept { return m_kind == Kind::String; }
   bool IsSwitch() const noexcept { return m_kind == Kind::Switch; }
   bool IsLiteral() const noexcept { return m_kind == Kind::Literal; }
   bool IsItemList() const noexcept { return m_kind == Kind::ItemList; }

   const String& Id() const noexcept { return m_id; }
   const String& Token() const noexcept { return m_token; }
   const StringList& Items() const noexcept { return m_items; }

   double NumericValue() const noexcept { return m_number; }
   const String& StringValue() const noexcept { return m_string; }
   // A switch written with '+'.
   bool SwitchState() const noexcept { return m_switchOn; }

   // An argument beginning with '-', given without that dash.
   static Argument Parametric( const String& token );
   static Argument ItemList( const String& token, const StringList& items );

private:
   enum class Kind { Literal, Switch, Numeric, String, ItemList };

   Kind m_kind = Kind::Literal;
   pcl::String m_id;
   pcl::String m_token;
   StringList m_items;
   double m_number = 0;
   pcl::String m_string;
   bool m_switchOn = false;
};

using ArgumentList = Array<Argument>;

// How arguments that do not begin with '-' are read.
namespace ArgumentItemMode
{
enum value_type
{
   // Identifiers of views: "image" for a main view, "image->preview" for a
   // preview, each naming an open one.
   AsViews = 2
};
} // ArgumentItemMode

namespace ArgumentOption
{
enum mask_type
{
   // '*' and '?' in view identifiers match the open views.
   AllowWildcards = 0x01
};
} // ArgumentOption

// Parses every argument before it returns. Throws Error for an argument that
// it cannot read: "Image not found" for an image identifier without wildcards
// that names no image, "Missing image identifier" and "Missing preview
// identifier" for a preview identifier lacking a part.
ArgumentList ExtractArguments( const StringList& arguments, ArgumentItemMode::value_type mode, unsigned options );

} // pcl

#endif
