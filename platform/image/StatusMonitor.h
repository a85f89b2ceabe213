#ifndef PCL_STATUS_MONITOR_H
#define PCL_STATUS_MONITOR_H

#include "platform/core/String.h"

#include <chrono>
#include <cstddef>

namespace pcl
{

class StatusMonitor;

// Receives a monitor's progress. Each call answers 0 to go on, or nonzero to
// ask that the operation be aborted.
class StatusCallback
{
public:
   virtual ~StatusCallback() = default;
   virtual int Initialized( const StatusMonitor& ) const = 0;
   virtual int Updated( const StatusMonitor& ) const = 0;
   virtual int Completed( const StatusMonitor& ) const = 0;
};

// Counts the steps of an operation and reports them to its callback: at
// initialisation, every 250 ms while it runs, and once at completion. An
// abort answer of the callback throws ProcessAborted.
class StatusMonitor
{
public:
   static constexpr std::chrono::milliseconds RefreshInterval{ 250 };

   StatusMonitor() = default;

   void SetCallback( StatusCallback* callback ) noexcept { m_callback = callback; }
   StatusCallback* Callback() const noexcept { return m_callback; }

   void Initialize( const String& info, size_t total = 0 );
   StatusMonitor& operator+=( size_t steps );
   StatusMonitor& operator++() { return *this += 1; }

   const String& Info() const noexcept { return m_info; }
   size_t Count() const noexcept { return m_count; }
   size_t Total() const noexcept { return m_total; }
   bool IsInitialized() const noexcept { return m_initialized; }
   bool IsCompleted() const noexcept { return m_completed; }
   // Completion in percent, 0 to 100.
   int Percent() const noexcept;

private:
   using clock = std::chrono::steady_clock;

   StatusCallback* m_callback = nullptr;
   String m_info;
   size_t m_total = 0;
   size_t m_count = 0;
   bool m_initialized = false;
   bool m_completed = false;
   clock::time_point m_lastRefresh{};

   void Answer( int result );
};

// Restores an image's (or any monitor's) status callback when it ends.
template <class T>
class AutoStatusCallbackRestorer
{
public:
   explicit AutoStatusCallbackRestorer( T& target ) : m_target( target ), m_callback( target.Callback() ) {}
   ~AutoStatusCallbackRestorer() { m_target.SetCallback( m_callback ); }
   AutoStatusCallbackRestorer( const AutoStatusCallbackRestorer& ) = delete;
   AutoStatusCallbackRestorer& operator=( const AutoStatusCallbackRestorer& ) = delete;

private:
   T& m_target;
   StatusCallback* m_callback;
};

} // pcl

#endif
