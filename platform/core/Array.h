#ifndef PCL_ARRAY_H
#define PCL_ARRAY_H

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
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
   explicit Array( size_t length, const T& value = T() ) { Append( value, length ); }

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

   void Clear() noexcept { m_data.reset(); }

   // Hands the caller the element block, which it then owns (to be freed with
   // StandardAllocator::DeallocateBlock), and leaves the array empty. For
   // trivially destructible elements only.
   T* Release()
   {
      static_assert( std::is_trivially_destructible_v<T> );
      EnsureUnique();
      if ( !m_data )
         return nullptr;
      T* block = std::exchange( m_data->block, nullptr );
      m_data.reset();
      return block;
   }

private:
   // The elements, shared by copies of the array.
   struct Data
   {
      size_t length = 0;
      size_t capacity = 0;
      T* block = nullptr;

      Data() = default;
      Data( const Data& ) = delete;
      Data& operator=( const Data& ) = delete;
      ~Data()
      {
         for ( size_t i = 0; i < length && block != nullptr; ++i )
            block[i].~T();
         StandardAllocator::DeallocateBlock( block );
      }
   };

   std::shared_ptr<Data> m_data;

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
      if ( !m_data )
         m_data = std::make_shared<Data>();
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
      if ( !m_data || m_data.use_count() == 1 )
         return;
      auto copy = std::make_shared<Data>();
      copy->block = static_cast<T*>( StandardAllocator::AllocateBlock( m_data->length * sizeof( T ) ) );
      copy->capacity = m_data->length;
      for ( ; copy->length < m_data->length; ++copy->length )
         new ( copy->block + copy->length ) T( m_data->block[copy->length] );
      m_data = std::move( copy );
   }
};

using ByteArray = Array<uint8_t>;

} // pcl

#endif
