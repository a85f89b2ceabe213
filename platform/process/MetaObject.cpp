#include "platform/process/MetaObject.h"

#include <algorithm>

namespace pcl
{

MetaObject::MetaObject( MetaObject* parent ) : m_parent( parent )
{
   if ( m_parent != nullptr )
      m_parent->m_children.push_back( this );
}

MetaObject::~MetaObject()
{
   // Youngest first: a child may refer to its elder siblings.
   while ( !m_children.empty() )
      delete m_children.back(); // detaches itself
   if ( m_parent != nullptr )
      std::erase( m_parent->m_children, this );
}

void MetaObject::PerformAPIDefinitions()
{
   for ( MetaObject* child : m_children )
      child->PerformAPIDefinitions();
}

} // pcl
