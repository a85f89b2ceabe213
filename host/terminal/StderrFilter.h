#ifndef VELQORA_HOST_STDERR_FILTER_H
#define VELQORA_HOST_STDERR_FILTER_H

#include <string_view>
#include <thread>

namespace host
{

// Keeps TensorFlow's own log records (informational, warnings and errors,
// with their further lines, and the logging library's preamble) off the
// user's terminal: the process's
// standard error goes through a pipe, and every other line, fatal log lines
// included, goes on to the standard error it had. What matters of
// TensorFlow's errors reaches the module as statuses.
class StderrFilter
{
public:
   StderrFilter();
   ~StderrFilter();
   StderrFilter( const StderrFilter& ) = delete;
   StderrFilter& operator=( const StderrFilter& ) = delete;

   // The standard error as it was, for the host's own messages.
   int UserFd() const noexcept { return m_user; }

private:
   bool m_inRecord = false; // the reader thread's alone

   int m_user = -1;
   int m_read = -1;
   std::thread m_reader;

   // Whether a line of standard error is TensorFlow's chatter.
   bool Drop( std::string_view line ) noexcept;
};

} // host

#endif
