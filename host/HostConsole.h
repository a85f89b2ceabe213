#ifndef VELQORA_HOST_CONSOLE_H
#define VELQORA_HOST_CONSOLE_H

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

namespace host
{

// The host's console: keeps a transcript of everything written (UTF-8) and
// may echo it to standard output. An abort request may come from any thread
// (a test, or Ctrl-C); it reaches a run only while abort is enabled.
class Console
{
public:
   void Write( const std::u16string& text );

   void SetEcho( bool echo ) noexcept { m_echo = echo; }

   std::string Transcript() const;
   // The transcript split at line feeds; a last unfinished line is included.
   std::vector<std::string> Lines() const;
   void ClearTranscript();

   void EnableAbort( bool enable ) noexcept { m_abortEnabled = enable; }
   bool IsAbortEnabled() const noexcept { return m_abortEnabled; }
   void RequestAbort() noexcept { m_abortRequested = true; }
   void ClearAbortRequest() noexcept { m_abortRequested = false; }
   bool AbortRequested() const noexcept { return m_abortEnabled && m_abortRequested; }

private:
   mutable std::mutex m_mutex;
   std::string m_transcript;
   bool m_echo = false;
   std::atomic<bool> m_abortEnabled{ false };
   std::atomic<bool> m_abortRequested{ false };
};

} // host

#endif
