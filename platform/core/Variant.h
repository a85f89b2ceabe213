#ifndef PCL_VARIANT_H
#define PCL_VARIANT_H

#include "platform/core/String.h"

#include <vector>

namespace pcl
{

using DVector = std::vector<double>;

// A property value as the host delivers it: nothing, a number, a vector of
// numbers or a text.
class Variant
{
public:
   enum class Kind { Invalid, Scalar, Vector, Text };

   Variant() = default;
   Variant( double value ) : m_kind( Kind::Scalar ), m_values{ value } {}
   Variant( DVector values ) : m_kind( Kind::Vector ), m_values( std::move( values ) ) {}
   Variant( const String& text ) : m_kind( Kind::Text ), m_text( text ) {}

   Kind Type() const noexcept { return m_kind; }
   bool IsValid() const noexcept { return m_kind != Kind::Invalid; }

   // The value as a vector of doubles: a number gives one element. Anything
   // else throws Error.
   DVector ToDVector() const;

private:
   Kind m_kind = Kind::Invalid;
   DVector m_values;
   String m_text;
};

} // pcl

#endif
