#ifndef VELQORA_HOST_SAMPLE_TYPE_H
#define VELQORA_HOST_SAMPLE_TYPE_H

#include <cstdint>
#include <stdexcept>
#include <string>

namespace host
{

// Calls f with a value of the C++ type of the sample format: the one place
// where the host picks among the five formats.
template <typename F>
decltype( auto ) WithSampleType( int bitsPerSample, bool isFloatSample, F&& f )
{
   if ( isFloatSample )
   {
      if ( bitsPerSample == 32 )
         return f( float{} );
      if ( bitsPerSample == 64 )
         return f( double{} );
   }
   else
   {
      if ( bitsPerSample == 8 )
         return f( uint8_t{} );
      if ( bitsPerSample == 16 )
         return f( uint16_t{} );
      if ( bitsPerSample == 32 )
         return f( uint32_t{} );
   }
   throw std::runtime_error( "unsupported sample format: " + std::to_string( bitsPerSample ) + "-bit " +
                             ( isFloatSample ? "floating point" : "integer" ) );
}

} // host

#endif
