#ifndef PCL_SAMPLE_BLOCK_H
#define PCL_SAMPLE_BLOCK_H

#include <cstddef>

namespace pcl
{

// The memory of one image channel. Large blocks come straight from the
// system as zeroed pages, which are made present at once by worker threads:
// a working image of a few hundred megabytes then costs no separate zeroing
// pass, and the system's page zeroing is spread over the cores. (Asking for
// huge pages made the kernel compact memory on each fault, which cost far
// more than it saved.)
class SampleBlock
{
public:
   SampleBlock() noexcept = default;
   // Throws std::bad_alloc. `zero` asks for zeroed memory; a large block is
   // zeroed in any case.
   SampleBlock( size_t bytes, bool zero );
   ~SampleBlock();

   SampleBlock( SampleBlock&& other ) noexcept;
   SampleBlock& operator=( SampleBlock&& other ) noexcept;
   SampleBlock( const SampleBlock& ) = delete;
   SampleBlock& operator=( const SampleBlock& ) = delete;

   void* Get() const noexcept { return m_data; }

private:
   void* m_data = nullptr;
   size_t m_mapped = 0; // bytes mapped from the system; 0 for a heap block

   void Free() noexcept;
};

} // pcl

#endif
