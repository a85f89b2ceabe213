#ifndef VELQORA_HOST_CONSOLE_H
#define VELQORA_HOST_CONSOLE_H

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

namespace host
{

class Terminal;

// The host's console: keeps a transcript of everything written (UTF-8) and
// may show it on a terminal. An abort request may come from any thread
// (a test, or Ctrl-C); it reaches a run only while abort is enabled.
class Console
{
public:
   void Write( const std::u16string& text );

   // Where the console is shown; null for nowhere. The terminal must outlive
   // its use here.
   void SetTerminal( Terminal* terminal ) noexcept;

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
   Terminal* m_terminal = nullptr;
   std::atomic<bool> m_abortEnabled{ false };
   std::atomic<bool> m_abortRequested{ false };
};

} // host

#endif
