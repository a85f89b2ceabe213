#include "platform/image/HistogramTransformation.h"

namespace pcl
{

HistogramTransformation::HistogramTransformation( double m, double c0, double c1, double r0, double r1 ) noexcept
   : m_m( std::clamp( m, 0.0, 1.0 ) )
   , m_c0( std::clamp( c0, 0.0, 1.0 ) )
   , m_c1( std::clamp( c1, 0.0, 1.0 ) )
   , m_r0( std::min( r0, 0.0 ) )
   , m_r1( std::max( r1, 1.0 ) )
{
   if ( m_c0 > m_c1 )
      std::swap( m_c0, m_c1 );
}

} // pcl
