#include "TAutoResetEvent.h"

#include <chrono>

TAutoResetEvent::TAutoResetEvent(bool initiallySignalled) : m_signalled(initiallySignalled) {}

void TAutoResetEvent::set() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_signalled = true;
    }
    m_condition.notify_one();
}

void TAutoResetEvent::wait() {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_condition.wait(lock, [this] { return m_signalled; });
    m_signalled = false;
}

bool TAutoResetEvent::wait(unsigned long milliseconds) {
    std::unique_lock<std::mutex> lock(m_mutex);
    const bool signalled = m_condition.wait_for(lock, std::chrono::milliseconds(milliseconds),
                                                [this] { return m_signalled; });
    m_signalled = false;
    return signalled;
}
