#include "TAutoResetEvent.h"

#include <QDeadlineTimer>
#include <QMutexLocker>

TAutoResetEvent::TAutoResetEvent(bool initiallySignalled) : m_signalled(initiallySignalled) {}

void TAutoResetEvent::set() {
    QMutexLocker locker(&m_mutex);
    m_signalled = true;
    m_condition.wakeOne();
}

void TAutoResetEvent::wait() {
    QMutexLocker locker(&m_mutex);
    while (!m_signalled)
        m_condition.wait(&m_mutex);
    m_signalled = false;
}

bool TAutoResetEvent::wait(unsigned long milliseconds) {
    QDeadlineTimer deadline(static_cast<qint64>(milliseconds));
    QMutexLocker locker(&m_mutex);
    while (!m_signalled) {
        if (!m_condition.wait(&m_mutex, deadline))
            break;
    }
    const bool consumed = m_signalled;
    m_signalled = false;
    return consumed;
}
