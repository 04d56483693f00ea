// A wake-up signal for one waiting thread: set() lets exactly one wait() through and the event
// falls back to non-signalled by itself. Signals do not add up: several set() calls before a
// wait() release that one wait() only.
#pragma once

#include <condition_variable>
#include <mutex>

class TAutoResetEvent {
public:
    explicit TAutoResetEvent(bool initiallySignalled = false);
    TAutoResetEvent(const TAutoResetEvent&) = delete;
    TAutoResetEvent& operator=(const TAutoResetEvent&) = delete;

    // Any thread.
    void set();
    // Blocks until the event is signalled, then consumes the signal.
    void wait();
    // As wait(), giving up after the given milliseconds; true when the signal was consumed.
    bool wait(unsigned long milliseconds);

private:
    std::mutex m_mutex;
    std::condition_variable m_condition;
    bool m_signalled;
};
