#include "SendCancellation.h"

namespace dorvo::winmm {

void SendCancellation::cancel() {
    {
        std::lock_guard lock(m_mutex);
        m_cancelled = true;
    }
    m_changed.notify_all();
}

void SendCancellation::clear() {
    std::lock_guard lock(m_mutex);
    m_cancelled = false;
}

bool SendCancellation::cancelled() const {
    std::lock_guard lock(m_mutex);
    return m_cancelled;
}

bool SendCancellation::sleepFor(std::chrono::steady_clock::duration duration) {
    std::unique_lock lock(m_mutex);
    return !m_changed.wait_for(lock, duration, [this] { return m_cancelled; });
}

} // namespace dorvo::winmm
