#include "platform/image/StatusMonitor.h"

#include "platform/core/Exception.h"

namespace pcl
{

void StatusMonitor::Initialize( const String& info, size_t total )
{
   m_info = info;
   m_total = total;
   m_count = 0;
   m_initialized = true;
   m_completed = false;
   m_lastRefresh = clock::now();
   if ( m_callback != nullptr )
      Answer( m_callback->Initialized( *this ) );
}

StatusMonitor& StatusMonitor::operator+=( size_t steps )
{
   if ( !m_initialized || m_completed )
      return *this;
   m_count = ( steps >= m_total - m_count ) ? m_total : m_count + steps;
   if ( m_total > 0 && m_count == m_total )
   {
      m_completed = true;
      if ( m_callback != nullptr )
         Answer( m_callback->Completed( *this ) );
      return *this;
   }
   if ( m_callback != nullptr )
   {
      clock::time_point now = clock::now();
      if ( now - m_lastRefresh >= RefreshInterval )
      {
         m_lastRefresh = now;
         Answer( m_callback->Updated( *this ) );
      }
   }
   return *this;
}

int StatusMonitor::Percent() const noexcept
{
   if ( m_total == 0 )
      return m_completed ? 100 : 0;
   return int( ( 100.0 * double( m_count ) ) / double( m_total ) );
}

void StatusMonitor::Answer( int result )
{
   if ( result != 0 )
      throw ProcessAborted();
}

} // pcl
