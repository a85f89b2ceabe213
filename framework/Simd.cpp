#include "framework/Simd.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace project_pelk
{

SimdLevel ProcessorSimdLevel() noexcept
{
   static const SimdLevel level = __builtin_cpu_supports( "x86-64-v4" )   ? SimdLevel::Avx512
                                  : __builtin_cpu_supports( "x86-64-v3" ) ? SimdLevel::Avx2
                                                                          : SimdLevel::Portable;
   return level;
}

SimdLevel ActiveSimdLevel() noexcept
{
   static const SimdLevel level = [] {
      const char* cap = std::getenv( "VELQORA_SIMD" );
      if ( cap == nullptr || *cap == '\0' )
         return ProcessorSimdLevel();
      // A misspelt cap must not leave the vector code it meant to rule out running.
      SimdLevel limit = SimdLevel::Portable;
      for ( SimdLevel l : { SimdLevel::Avx2, SimdLevel::Avx512 } )
         if ( std::strcmp( cap, SimdLevelName( l ) ) == 0 )
            limit = l;
      return std::min( limit, ProcessorSimdLevel() );
   }();
   return level;
}

const char* SimdLevelName( SimdLevel level ) noexcept
{
   switch ( level )
   {
   case SimdLevel::Avx512:
      return "avx512";
   case SimdLevel::Avx2:
      return "avx2";
   default:
      return "portable";
   }
}

} // project_pelk
