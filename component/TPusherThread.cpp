#include "TPusherThread.h"

#include <dorvo/objbase.h>

static_assert(TPusherThread::kEventBytes == 80, "the ring holds whole 80-byte records");
static_assert(TPusherThread::kCapacity % TPusherThread::kEventBytes == 0);

namespace {

void freeLongData(const MPEVENT& event) {
    if (event.type & MPEVENT_MASK_LONG)
        CoTaskMemFree(event.longData);
}

} // namespace

TPusherThread::TPusherThread(std::function<void(const MPEVENT&)> deliver)
    : m_deliver(std::move(deliver)), m_ring(kCapacity, false) {}

TPusherThread::~TPusherThread() {
    stopAndWait();
    // Whatever was never delivered still owns its data.
    MPEVENT event;
    while (m_ring.read(&event, kEventBytes) == kEventBytes)
        freeLongData(event);
}

bool TPusherThread::offer(const MPEVENT& event) {
    m_ring.lock();
    const bool queued = m_ring.space() >= kEventBytes && m_ring.write(&event, kEventBytes);
    m_ring.unlock();
    if (!queued) {
        freeLongData(event);
        return false;
    }
    m_wake.notify_all();
    return true;
}

void TPusherThread::stopAndWait() {
    m_ring.lock();
    m_stop = true;
    m_ring.unlock();
    m_wake.notify_all();
    wait();
}

void TPusherThread::run() {
    m_ring.lock();
    for (;;) {
        MPEVENT event;
        if (m_ring.read(&event, kEventBytes) == kEventBytes) {
            m_ring.unlock();
            if (m_deliver)
                m_deliver(event);
            freeLongData(event);
            m_ring.lock();
            continue;
        }
        if (m_stop)
            break;
        m_wake.wait(*m_ring.mutex());
    }
    m_ring.unlock();
}
