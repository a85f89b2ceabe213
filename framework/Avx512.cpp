#include "framework/Avx512.h"

namespace project_pelk
{

bool HasAvx512() noexcept
{
   static const bool has = __builtin_cpu_supports( "x86-64-v4" );
   return has;
}

} // project_pelk
