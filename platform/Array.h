#ifndef PCL_ARRAY_H
#define PCL_ARRAY_H

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <type_traits>
#include <utility>

namespace pcl
{

// Blocks of memory that a container hands out with Release() come from here
// and go back here.
struct StandardAllocator
{
   static void* AllocateBlock( size_t bytes )
   {
      void* p = std::malloc( bytes > 0 ? bytes : 1 );
      if ( p == nullptr )
         throw std::bad_alloc();
      return p;
   }
   static void DeallocateBlock( void* p ) noexcept { std::free( p ); }
};

// Growable array with the platform's shared-data semantics: copies share the
// elements until one of them is changed. Size() is in bytes, Length() in
// elements.
template <typename T>
class Array
{
   static_assert( std::is_nothrow_move_constructible_v<T> );

public:
   using iterator = T*;
   using const_iterator = const T*;

   Array() noexcept = default;
   Array( size_t length, const T& value = T() ) { Append( value, length ); }
   Array( const Array& x ) noexcept : m_data( x.m_data ) { if ( m_data ) ++m_data->refs; }
   Array( Array&& x ) noexcept : m_data( std::exchange( x.m_data, nullptr ) ) {}
   ~Array() { Detach(); }

   Array& operator=( const Array& x ) noexcept
   {
      if ( x.m_data != m_data )
      {
         Detach();
         m_data = x.m_data;
         if ( m_data ) ++m_data->refs;
      }
      return *this;
   }
   Array& operator=( Array&& x ) noexcept
   {
      if ( this != &x )
      {
         Detach();
         m_data = std::exchange( x.m_data, nullptr );
      }
      return *this;
   }

   size_t Length() const noexcept { return m_data ? m_data->length : 0; }
   size_t Size() const noexcept { return Length() * sizeof( T ); }
   bool IsEmpty() const noexcept { return Length() == 0; }

   const T* Begin() const noexcept { return m_data ? m_data->block : nullptr; }
   const T* End() const noexcept { return Begin() + Length(); }
   T* Begin() { EnsureUnique(); return m_data ? m_data->block : nullptr; }
   T* End() { return Begin() + Length(); }
   const T* begin() const noexcept { return Begin(); }
   const T* end() const noexcept { return End(); }
   T* begin() { return Begin(); }
   T* end() { return End(); }

   const T& operator[]( size_t i ) const noexcept { return m_data->block[i]; }
   T& operator[]( size_t i ) { EnsureUnique(); return m_data->block[i]; }

   void Reserve( size_t capacity )
   {
      EnsureUnique();
      if ( capacity > Capacity() )
         Grow( capacity );
   }

   void Add( const T& value ) { Append( value, 1 ); }
   void Add( const T& value, size_t count ) { Append( value, count ); }

   // Appends the elements [first, last), which must not lie in this array.
   void Add( const T* first, const T* last )
   {
      EnsureUnique();
      size_t count = size_t( last - first );
      size_t need = Length() + count;
      if ( need > Capacity() )
         Grow( need > 2 * Capacity() ? need : 2 * Capacity() );
      for ( ; first != last; ++first )
         new ( m_data->block + m_data->length++ ) T( *first );
   }

   void Clear() noexcept { Detach(); }

   // Hands the caller the element block, which it then owns (to be freed with
   // StandardAllocator::DeallocateBlock), and leaves the array empty. For
   // trivially destructible elements only.
   T* Release()
   {
      static_assert( std::is_trivially_destructible_v<T> );
      EnsureUnique();
      if ( m_data == nullptr )
         return nullptr;
      T* block = m_data->block;
      m_data->block = nullptr;
      m_data->length = m_data->capacity = 0;
      Detach();
      return block;
   }

private:
   struct Data
   {
      size_t refs = 1;
      size_t length = 0;
      size_t capacity = 0;
      T* block = nullptr;
   };

   Data* m_data = nullptr;

   size_t Capacity() const noexcept { return m_data ? m_data->capacity : 0; }

   void Append( const T& value, size_t count )
   {
      EnsureUnique();
      size_t need = Length() + count;
      if ( need > Capacity() )
      {
         // Copy first: `value` may live inside the block being moved.
         T copy( value );
         Grow( need > 2 * Capacity() ? need : 2 * Capacity() );
         for ( ; count > 0; --count )
            new ( m_data->block + m_data->length++ ) T( copy );
         return;
      }
      for ( ; count > 0; --count )
         new ( m_data->block + m_data->length++ ) T( value );
   }

   void Grow( size_t capacity )
   {
      if ( m_data == nullptr )
         m_data = new Data;
      T* block = static_cast<T*>( StandardAllocator::AllocateBlock( capacity * sizeof( T ) ) );
      for ( size_t i = 0; i < m_data->length; ++i )
      {
         new ( block + i ) T( std::move( m_data->block[i] ) );
         m_data->block[i].~T();
      }
      StandardAllocator::DeallocateBlock( m_data->block );
      m_data->block = block;
      m_data->capacity = capacity;
   }

   void EnsureUnique()
   {
      if ( m_data == nullptr || m_data->refs == 1 )
         return;
      Data* copy = new Data;
      try
      {
         copy->block = static_cast<T*>( StandardAllocator::AllocateBlock( m_data->length * sizeof( T ) ) );
         copy->capacity = m_data->length;
         for ( ; copy->length < m_data->length; ++copy->length )
            new ( copy->block + copy->length ) T( m_data->block[copy->length] );
      }
      catch ( ... )
      {
         Free( copy );
         throw;
      }
      --m_data->refs;
      m_data = copy;
   }

   void Detach() noexcept
   {
      if ( m_data != nullptr && --m_data->refs == 0 )
         Free( m_data );
      m_data = nullptr;
   }

   static void Free( Data* d ) noexcept
   {
      for ( size_t i = 0; i < d->length; ++i )
         d->block[i].~T();
      StandardAllocator::DeallocateBlock( d->block );
      delete d;
   }
};

using ByteArray = Array<uint8_t>;

} // pcl

#endif
