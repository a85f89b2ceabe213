#include "platform/process/MetaObject.h"

#include "platform/core/Exception.h"

#include <algorithm>

namespace pcl
{

namespace
{

// Zero-initialised: nothing runs at load time.
MetaObject* g_root = nullptr;

} // namespace

MetaObject* MetaObject::Root() noexcept
{
   return g_root;
}

MetaObject::MetaObject( AsRoot ) : m_parent( nullptr )
{
   if ( g_root != nullptr )
      throw Error( "MetaModule: Module redefinition not allowed" );
   g_root = this;
}

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
   if ( g_root == this )
      g_root = nullptr;
}

void MetaObject::PerformAPIDefinitions()
{
   for ( MetaObject* child : m_children )
      child->PerformAPIDefinitions();
}

} // pcl
