#ifndef VELQORA_AVX512_H
#define VELQORA_AVX512_H

namespace project_pelk
{

// Whether this processor runs the code written for AVX-512 with 256-bit masks
// (x86-64-v4). Decided at the first call; such code may run only where this
// holds, and must leave the same bits as the portable code beside it.
bool HasAvx512() noexcept;

} // project_pelk

#endif
