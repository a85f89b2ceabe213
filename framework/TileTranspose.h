#ifndef VELQORA_TILE_TRANSPOSE_H
#define VELQORA_TILE_TRANSPOSE_H

#include "framework/Simd.h"

#include <cstddef>

namespace project_pelk
{

// The two moves between image rows and the network's tensor, in which the
// rows of one tile column are contiguous: a transpose of `count` rows of `n`
// floats. The vector code moves squares of 8 × 8 (AVX2) or 16 × 16 (AVX-512)
// in registers, for a count that is a multiple of 8 or 16 up to 64; the
// values moved are the same either way.

// columns[i * stride + q] = rows[q][i], for q < count and i < n.
void RowsToColumns( const float* const* rows, int count, int n, float* columns, size_t stride,
                    SimdLevel level = ActiveSimdLevel() ) noexcept;

// rows[q][i] = columns[i * stride + q], for q < count and i < n. Returns false
// when one of the values moved is NaN or infinite.
bool ColumnsToRows( const float* columns, size_t stride, int count, int n, float* const* rows,
                    SimdLevel level = ActiveSimdLevel() ) noexcept;

} // project_pelk

#endif
