// A flag that cuts a long send short (midiOutReset) and wakes whoever waits on it.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace dorvo::winmm {

class SendCancellation {
public:
    void cancel();
    void clear();
    bool cancelled() const;
    // Sleeps for `duration` or until cancelled; true when the whole duration passed.
    bool sleepFor(std::chrono::steady_clock::duration duration);

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_cancelled = false;
};

} // namespace dorvo::winmm
