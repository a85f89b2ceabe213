#include "platform/core/Variant.h"

#include "platform/core/Exception.h"

namespace pcl
{

DVector Variant::ToDVector() const
{
   switch ( m_kind )
   {
   case Kind::Scalar:
   case Kind::Vector:
      return m_values;
   case Kind::Text:
      throw Error( "Variant::ToDVector(): Cannot convert a string to a vector." );
   default:
      throw Error( "Variant::ToDVector(): Invalid conversion of an invalid variant." );
   }
}

} // pcl
