#include "host/windows/ChannelStatistics.h"

#include "host/files/SampleType.h"
#include "platform/core/Parallel.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cmath>
#include <limits>
#include <utility>
#include <vector>

namespace host
{

namespace
{

// Samples divided by the format's maximum, as the module's pixel traits read
// them: a multiplication by the reciprocal would be off by one unit in the last
// place for some values.
template <typename T>
double Normalised( T s ) noexcept
{
   if constexpr ( std::is_floating_point_v<T> )
      return double( s );
   else
      return double( s ) / double( std::numeric_limits<T>::max() );
}

// The ranks whose values make a median of n values: the middle one twice, or
// the middle two.
std::pair<size_t, size_t> MiddleRanks( size_t n ) noexcept
{
   return { n % 2 == 1 ? n / 2 : n / 2 - 1, n / 2 };
}

double Middle( const std::pair<double, double>& values, size_t n ) noexcept
{
   return n % 2 == 1 ? values.second : ( values.first + values.second ) / 2;
}

// The values at ranks `low` <= `high` of a sorted sequence given as runs of
// equal values; next( value, count ) yields the runs in order.
template <typename Next>
std::pair<double, double> RanksOfRuns( size_t low, size_t high, Next&& next )
{
   std::pair<double, double> result{ 0, 0 };
   double value = 0;
   size_t count = 0, seen = 0;
   while ( next( value, count ) )
   {
      if ( low >= seen && low < seen + count )
         result.first = value;
      if ( high < seen + count )
      {
         result.second = value;
         break;
      }
      seen += count;
   }
   return result;
}

// 8- and 16-bit samples: one pass counts each value; both statistics come
// from the counts. The deviations of the values above the median grow with
// the value and those below shrink, so merging the two sides walks all
// deviations in order.
template <typename T>
MedianAndMAD FromHistogram( const T* s, size_t n )
{
   constexpr size_t bins = size_t( std::numeric_limits<T>::max() ) + 1;
   // Four tables, so that runs of equal samples do not wait on one counter.
   std::vector<uint32_t> tables( 4 * bins, 0 );
   std::vector<size_t> count( bins, 0 );
   for ( size_t start = 0; start < n; start += size_t( 1 ) << 30 )
   {
      const size_t end = std::min( n, start + ( size_t( 1 ) << 30 ) ); // counters hold 2^32 - 1
      size_t i = start;
      for ( ; i + 4 <= end; i += 4 )
      {
         ++tables[s[i]];
         ++tables[bins + s[i + 1]];
         ++tables[2 * bins + s[i + 2]];
         ++tables[3 * bins + s[i + 3]];
      }
      for ( ; i < end; ++i )
         ++tables[s[i]];
      for ( size_t v = 0; v < bins; ++v )
      {
         count[v] += size_t( tables[v] ) + tables[bins + v] + tables[2 * bins + v] + tables[3 * bins + v];
         tables[v] = tables[bins + v] = tables[2 * bins + v] = tables[3 * bins + v] = 0;
      }
   }

   const auto [low, high] = MiddleRanks( n );
   size_t v = 0;
   const double median = Middle( RanksOfRuns( low, high,
                                              [&]( double& value, size_t& c ) {
                                                 if ( v == bins )
                                                    return false;
                                                 value = Normalised( T( v ) );
                                                 c = count[v++];
                                                 return true;
                                              } ),
                                 n );

   size_t up = 0;
   while ( up < bins && Normalised( T( up ) ) < median )
      ++up;
   size_t down = up; // values below the median: [0, down)
   const double mad = Middle( RanksOfRuns( low, high,
                                           [&]( double& value, size_t& c ) {
                                              const bool hasUp = up < bins, hasDown = down > 0;
                                              if ( !hasUp && !hasDown )
                                                 return false;
                                              const double du = hasUp ? Normalised( T( up ) ) - median : 0;
                                              const double dd = hasDown ? median - Normalised( T( down - 1 ) ) : 0;
                                              if ( hasUp && ( !hasDown || du <= dd ) )
                                              {
                                                 value = std::abs( du );
                                                 c = count[up++];
                                              }
                                              else
                                              {
                                                 value = std::abs( dd );
                                                 c = count[--down];
                                              }
                                              return true;
                                           } ),
                              n );
   return { median, mad };
}

// Unsigned integer keys in the order of the values: the selection compares
// keys, which takes one unsigned comparison to tell whether a value lies
// strictly between two others.
uint32_t KeyOf( uint32_t x ) noexcept
{
   return x;
}

template <typename F>
auto KeyOf( F x ) noexcept
{
   using K = std::conditional_t<sizeof( F ) == 4, uint32_t, uint64_t>;
   constexpr K sign = K( 1 ) << ( 8 * sizeof( F ) - 1 );
   const K bits = std::bit_cast<K>( F( x + F( 0 ) ) ); // -0 is +0
   return ( bits & sign ) ? K( ~bits ) : K( bits | sign );
}

template <typename V, typename K>
V ValueOf( K key ) noexcept
{
   if constexpr ( std::is_integral_v<V> )
      return V( key );
   else
   {
      constexpr K sign = K( 1 ) << ( 8 * sizeof( K ) - 1 );
      return std::bit_cast<V>( ( key & sign ) ? K( key & ~sign ) : K( ~key ) );
   }
}

// The keys at ranks `low` <= `high` <= low + 1 of key( 0 .. n-1 ) as if
// sorted. A sample of the keys gives two bounds that very likely enclose both
// ranks; one pass counts what lies below and at the bounds and collects what
// lies between, and only those few are ordered. When the bounds miss, every
// key is ordered.
template <typename K, typename F>
std::pair<K, K> KeysAtRanks( size_t n, size_t low, size_t high, F&& key )
{
   std::vector<K> scratch;
   constexpr size_t sampleSize = size_t( 1 ) << 15;
   if ( n > 16 * sampleSize )
   {
      std::vector<K> sample( sampleSize );
      uint64_t state = 0x9E3779B97F4A7C15ull; // fixed: only the speed depends on the sample
      for ( K& x : sample )
      {
         state ^= state << 13;
         state ^= state >> 7;
         state ^= state << 17;
         x = key( size_t( state % n ) );
      }
      std::sort( sample.begin(), sample.end() );
      // The rank among the sample strays by about half its square root.
      const size_t at = size_t( double( low ) / double( n ) * sampleSize );
      const size_t margin = 2 * size_t( std::sqrt( double( sampleSize ) ) );
      const K lo = sample[at > margin ? at - margin : 0];
      const K hi = sample[std::min( sampleSize - 1, at + margin )];
      const K innerWidth = hi - lo - 1; // keys in (lo, hi): key - lo - 1 below it, unsigned

      // Slices on worker threads; each collects at most what the sample
      // foretells many times over, else the bounds have missed.
      struct Slice
      {
         size_t below = 0, atLow = 0, atHigh = 0, inner = 0;
         bool full = false;
         std::vector<K> keys;
      };
      constexpr size_t slices = 64;
      std::vector<Slice> part( slices );
      for ( Slice& p : part )
         p.keys.resize( n / slices / 16 + 1 );
      pcl::ParallelFor( slices, 1, [&]( size_t first, size_t last ) {
         for ( size_t p = first; p < last; ++p )
         {
            Slice& slice = part[p];
            size_t b = 0, l = 0, h = 0, k = 0;
            K* out = slice.keys.data();
            const size_t capacity = slice.keys.size();
            for ( size_t i = n * p / slices, end = n * ( p + 1 ) / slices; i < end; ++i )
            {
               const K x = key( i );
               b += x < lo;
               l += x == lo;
               h += x == hi;
               if ( K( x - lo - 1 ) < innerWidth )
               {
                  if ( k == capacity )
                  {
                     slice.full = true;
                     break;
                  }
                  out[k++] = x;
               }
            }
            slice.below = b;
            slice.atLow = l;
            slice.atHigh = hi == lo ? 0 : h;
            slice.inner = k;
         }
      } );
      size_t below = 0, atLow = 0, atHigh = 0;
      bool full = false;
      for ( const Slice& p : part )
      {
         below += p.below;
         atLow += p.atLow;
         atHigh += p.atHigh;
         full = full || p.full;
         scratch.insert( scratch.end(), p.keys.begin(), p.keys.begin() + ptrdiff_t( p.inner ) );
      }
      auto rank = [&]( size_t r, K& out ) {
         if ( r < below )
            return false;
         r -= below;
         if ( r < atLow )
            return out = lo, true;
         r -= atLow;
         if ( r < scratch.size() )
         {
            std::nth_element( scratch.begin(), scratch.begin() + ptrdiff_t( r ), scratch.end() );
            return out = scratch[r], true;
         }
         r -= scratch.size();
         return r < atHigh && ( out = hi, true );
      };
      std::pair<K, K> result;
      if ( !full && rank( high, result.second ) && rank( low, result.first ) )
         return result;
   }
   scratch.resize( n );
   for ( size_t i = 0; i < n; ++i )
      scratch[i] = key( i );
   std::nth_element( scratch.begin(), scratch.begin() + ptrdiff_t( high ), scratch.end() );
   const K upper = scratch[high];
   const K lower = low == high ? upper : *std::max_element( scratch.begin(), scratch.begin() + ptrdiff_t( high ) );
   return { lower, upper };
}

// 32-bit integer and floating-point samples: too many values to count.
template <typename T>
MedianAndMAD BySelection( const T* s, size_t n )
{
   using K = decltype( KeyOf( T() ) );
   const auto [low, high] = MiddleRanks( n );
   // The normalisation keeps the order: select among the samples themselves.
   const auto m = KeysAtRanks<K>( n, low, high, [s]( size_t i ) { return KeyOf( s[i] ); } );
   const double median = Middle( { Normalised( ValueOf<T>( m.first ) ), Normalised( ValueOf<T>( m.second ) ) }, n );
   const auto d = KeysAtRanks<uint64_t>(
      n, low, high, [s, median]( size_t i ) { return KeyOf( std::abs( Normalised( s[i] ) - median ) ); } );
   return { median, Middle( { ValueOf<double>( d.first ), ValueOf<double>( d.second ) }, n ) };
}

} // namespace

MedianAndMAD ComputeMedianAndMAD( const void* samples, size_t count, int bitsPerSample, bool isFloatSample )
{
   if ( count == 0 )
      return {};
   return WithSampleType( bitsPerSample, isFloatSample, [&]<typename T>( T ) {
      const T* s = static_cast<const T*>( samples );
      if constexpr ( sizeof( T ) <= 2 )
         return FromHistogram( s, count );
      else
         return BySelection( s, count );
   } );
}

} // host
