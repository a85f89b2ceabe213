#include "host/Host.h"

#include <stdexcept>

namespace host
{

namespace
{

Host* g_current = nullptr;

std::u16string& LastErrorOfThisThread() noexcept
{
   thread_local std::u16string text;
   return text;
}


} // namespace

Host::Host() : m_rootThread( std::this_thread::get_id() )
{
   if ( g_current != nullptr )
      throw std::logic_error( "Only one host at a time" );
   g_current = this;
}

Host::~Host()
{
   // Instances are destroyed by the module, which may still write to the
   // console while this host is current.
   m_processes.Clear();
   g_current = nullptr;
}

Host* Host::Current() noexcept
{
   return g_current;
}

void Host::SetLastError( const std::string& text )
{
   LastErrorOfThisThread() = utf::FromUTF8( text );
}

const std::u16string& Host::LastError() noexcept
{
   return LastErrorOfThisThread();
}

} // host
