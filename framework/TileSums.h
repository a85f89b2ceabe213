#ifndef VELQORA_TILE_SUMS_H
#define VELQORA_TILE_SUMS_H

#include "framework/Simd.h"

namespace project_pelk
{

// The weighted additions of the network's output to a row of sums, as the
// model base's accumulation defines them: every partial sum is narrowed to
// float and clamped to [0, 1] before the next is added. Columns [from, to):
// the sums before `fresh` already hold earlier tiles' additions, the others
// none yet (their sum starts from 0).

// One output channel, weights `w`.
void AccumulateRow( float* sums, const float* s, const double* w, int from, int fresh, int to,
                    SimdLevel level = ActiveSimdLevel() ) noexcept;

// A grayscale pixel receives the three output channels in order, each a third.
void AccumulateGrayRow( float* sums, const float* s0, const float* s1, const float* s2, const double* w, int from,
                        int fresh, int to, SimdLevel level = ActiveSimdLevel() ) noexcept;

} // project_pelk

#endif
