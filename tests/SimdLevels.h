#ifndef VELQORA_TESTS_SIMD_LEVELS_H
#define VELQORA_TESTS_SIMD_LEVELS_H

#include "framework/Simd.h"

#include <vector>

// Every level this processor runs, the portable one first: kernels are
// compared at each, whatever VELQORA_SIMD caps the module's own runs at.
inline std::vector<project_pelk::SimdLevel> SimdLevelsHere()
{
   std::vector<project_pelk::SimdLevel> levels;
   for ( auto l : { project_pelk::SimdLevel::Portable, project_pelk::SimdLevel::Avx2, project_pelk::SimdLevel::Avx512 } )
      if ( l <= project_pelk::ProcessorSimdLevel() )
         levels.push_back( l );
   return levels;
}

#endif
