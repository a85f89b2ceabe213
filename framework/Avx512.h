#ifndef VELQORA_AVX512_H
#define VELQORA_AVX512_H

// The intrinsics that code is written with. GCC 12 takes the undefined vector
// that its conversion intrinsics start from for an uninitialised variable.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <immintrin.h>
#pragma GCC diagnostic pop

namespace project_pelk
{

// Whether this processor runs the code written for AVX-512 with 256-bit masks
// (x86-64-v4). Decided at the first call; such code may run only where this
// holds, and must leave the same bits as the portable code beside it.
bool HasAvx512() noexcept;

} // project_pelk

#endif
