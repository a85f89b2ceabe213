#ifndef PCL_PARALLEL_H
#define PCL_PARALLEL_H

#include <algorithm>
#include <cstddef>
#include <thread>
#include <vector>

namespace pcl
{

// Runs work( first, end ) over [0, count) split into contiguous slices, on
// worker threads and the calling thread, and returns when all are done. The
// work must not throw. A slice whose thread cannot be started runs on the
// calling thread, so the whole range is always done.
template <typename F>
void ParallelFor( size_t count, size_t minimumPerThread, F&& work ) noexcept
{
   size_t workers = std::max<size_t>( 1, std::min<size_t>( std::thread::hardware_concurrency(), 16 ) );
   workers = std::max<size_t>( 1, std::min( workers, count / std::max<size_t>( 1, minimumPerThread ) ) );
   auto slice = [&]( size_t w ) { work( count * w / workers, count * ( w + 1 ) / workers ); };
   std::vector<std::thread> threads;
   size_t started = 1;
   try
   {
      threads.reserve( workers - 1 );
      for ( ; started < workers; ++started )
         threads.emplace_back( slice, started );
   }
   catch ( ... )
   {
      // Fewer threads than asked for: the rest is done here.
   }
   for ( size_t w = started; w < workers; ++w )
      slice( w );
   slice( 0 );
   for ( std::thread& t : threads )
      t.join();
}

} // pcl

#endif
