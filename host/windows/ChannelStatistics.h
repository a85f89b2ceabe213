#ifndef VELQORA_HOST_CHANNEL_STATISTICS_H
#define VELQORA_HOST_CHANNEL_STATISTICS_H

#include <cstddef>

namespace host
{

struct MedianAndMAD
{
   double median = 0;
   double mad = 0;
};

// Of one channel's samples, read as the module's pixel traits read them (an
// integer divided by its format's maximum): the median of the sorted values,
// the mean of the middle two for an even count, and the median of their
// absolute deviations from it; both 0 for no samples.
MedianAndMAD ComputeMedianAndMAD( const void* samples, size_t count, int bitsPerSample, bool isFloatSample );

} // host

#endif
