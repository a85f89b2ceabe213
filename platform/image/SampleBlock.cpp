#include "platform/image/SampleBlock.h"

#include "platform/core/Parallel.h"

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

// Makes the system provide every page of a new mapping now, several pages at
// a time on worker threads: the system zeroes each page as it is first
// touched, and that work is spread over the cores instead of falling on the
// first pass over the image.
void TouchPages( char* p, size_t bytes ) noexcept
{
   constexpr size_t page = 4096;
   ParallelFor( ( bytes + page - 1 ) / page, 1024, [p]( size_t first, size_t end ) {
      for ( size_t k = first; k < end; ++k )
         p[k * page] = 0;
   } );
}

} // namespace

SampleBlock::SampleBlock( size_t bytes, bool zero )
{
   if ( bytes >= MappedThreshold )
   {
      void* p = ::mmap( nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0 );
      if ( p == MAP_FAILED )
         throw std::bad_alloc();
      m_data = p;
      m_mapped = bytes;
      // Whole 2 MiB pages where the system allows them: a large block is
      // then made with one fault per 512 small pages.
      ::madvise( p, bytes, MADV_HUGEPAGE );
      TouchPages( static_cast<char*>( p ), bytes );
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
