#ifndef VELQORA_HOST_STDERR_FILTER_H
#define VELQORA_HOST_STDERR_FILTER_H

#include <atomic>
#include <csignal>
#include <string_view>
#include <thread>
#include <vector>

namespace host
{

// Keeps TensorFlow's own log records (informational, warnings and errors,
// with their further lines, and the logging library's preamble) off the
// user's terminal: the process's
// standard error goes through a pipe, and every other line, fatal log lines
// included, goes on to the standard error it had. What matters of
// TensorFlow's errors reaches the module as statuses.
//
// What is still in the pipe when the process ends reaches the terminal too:
// at the filter's end, on abort() (a fatal record is followed by one), when a
// sanitizer ends the process after its report, and before the host leaves at
// once on a signal (Drain).
class StderrFilter
{
public:
   StderrFilter();
   ~StderrFilter();
   StderrFilter( const StderrFilter& ) = delete;
   StderrFilter& operator=( const StderrFilter& ) = delete;

   // The standard error as it was, for the host's own messages.
   int UserFd() const noexcept { return m_user; }

   // Gives standard error back and waits, for a second at most, until the
   // filter has passed on what the pipe held: for the process's last moments.
   // Only calls that are safe in a signal handler; does nothing without a
   // filter.
   static void Drain() noexcept;

   // A sanitizer runtime's __sanitizer_set_death_callback.
   using SetDeathCallback = void ( * )( void ( *callback )() );

private:
   bool m_inRecord = false; // the reader thread's alone

   int m_user = -1;
   int m_read = -1;
   std::thread m_reader;
   std::atomic<bool> m_drained{ false };
   std::vector<SetDeathCallback> m_sanitizers;
   struct sigaction m_previousAbort = {};

   // Whether a line of standard error is TensorFlow's chatter.
   bool Drop( std::string_view line ) noexcept;
   void DrainThis() noexcept;
};

} // host

#endif
