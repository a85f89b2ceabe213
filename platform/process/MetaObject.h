#ifndef PCL_META_OBJECT_H
#define PCL_META_OBJECT_H

#include <cstddef>
#include <vector>

namespace pcl
{

// An object that describes part of a module to the host: the module, its
// processes, their parameters, its interfaces. Each is attached to its parent
// on construction and owns its children, which it destroys with itself.
class MetaObject
{
public:
   explicit MetaObject( MetaObject* parent );
   virtual ~MetaObject();
   MetaObject( const MetaObject& ) = delete;
   MetaObject& operator=( const MetaObject& ) = delete;

   MetaObject* Parent() const noexcept { return m_parent; }

   // The children, in the order of their construction.
   size_t Length() const noexcept { return m_children.size(); }
   MetaObject* operator[]( size_t i ) const noexcept { return m_children[i]; }

   // Declares the object, then its children, to the host.
   virtual void PerformAPIDefinitions();

   // The root of the tree, the module object, to which processes and
   // interfaces attach; null until one is made.
   static MetaObject* Root() noexcept;

protected:
   // Makes the module object the root; there is one per library.
   struct AsRoot
   {
   };
   explicit MetaObject( AsRoot );

private:
   MetaObject* m_parent;
   std::vector<MetaObject*> m_children;
};

} // pcl

#endif
