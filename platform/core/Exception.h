#ifndef PCL_EXCEPTION_H
#define PCL_EXCEPTION_H

#include "platform/core/String.h"

namespace pcl
{

// The exception of every failure; it carries the message shown to the user.
class Error
{
public:
   explicit Error( const String& message ) : m_message( message ) {}
   virtual ~Error() = default;

   const String& Message() const noexcept { return m_message; }

private:
   String m_message;
};

// A run ended by the user's abort request; the host does not show it.
class ProcessAborted : public Error
{
public:
   ProcessAborted() : Error( "Process aborted" ) {}
};

} // pcl

#endif
