#include "platform/SampleBlock.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <sys/mman.h>
#include <utility>

namespace pcl
{

namespace
{

// Below this a block comes from the heap.
constexpr size_t MappedThreshold = size_t( 4 ) << 20;

} // namespace

SampleBlock::SampleBlock( size_t bytes, bool zero )
{
   if ( bytes >= MappedThreshold )
   {
      void* p = ::mmap( nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0 );
      if ( p == MAP_FAILED )
         throw std::bad_alloc();
      m_data = p;
      m_mapped = bytes;
      return;
   }
   m_data = zero ? std::calloc( bytes > 0 ? bytes : 1, 1 ) : std::malloc( bytes > 0 ? bytes : 1 );
   if ( m_data == nullptr )
      throw std::bad_alloc();
}

SampleBlock::~SampleBlock()
{
   Free();
}

SampleBlock::SampleBlock( SampleBlock&& other ) noexcept
   : m_data( std::exchange( other.m_data, nullptr ) )
   , m_mapped( std::exchange( other.m_mapped, 0 ) )
{
}

SampleBlock& SampleBlock::operator=( SampleBlock&& other ) noexcept
{
   if ( this != &other )
   {
      Free();
      m_data = std::exchange( other.m_data, nullptr );
      m_mapped = std::exchange( other.m_mapped, 0 );
   }
   return *this;
}

void SampleBlock::Free() noexcept
{
   if ( m_data == nullptr )
      return;
   if ( m_mapped > 0 )
      ::munmap( m_data, m_mapped );
   else
      std::free( m_data );
   m_data = nullptr;
   m_mapped = 0;
}

} // pcl
