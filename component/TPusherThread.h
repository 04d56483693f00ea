// The event pusher of one component object: MIDI events that the outer application hands to
// the component's event filter, on any of its threads, are queued here as whole MPEVENT records
// and delivered on this thread, in order, to the owner's delivery function (the Workspace's host
// object). The outer application's threads never wait for the GUI thread or for delivery.
#pragma once

#include "TRingBuffer.h"

#include <dorvo/dorvo2.h>

#include <QThread>

#include <condition_variable>
#include <functional>

class TPusherThread : public QThread {
    Q_OBJECT
public:
    static constexpr uint32_t kEventBytes = sizeof(MPEVENT);
    static constexpr uint32_t kCapacity = 76800; // 960 events

    // deliver runs on the pusher thread, without the ring's lock; the event's system-exclusive
    // data is freed after it returns.
    explicit TPusherThread(std::function<void(const MPEVENT&)> deliver);
    // Stops and joins the thread first.
    ~TPusherThread() override;

    // Any thread (the event filter): queues a copy of the event; false when the ring is full,
    // and the event's system-exclusive data (task memory) is freed then.
    bool offer(const MPEVENT& event);
    // Ends the loop once the queued events are delivered and waits for the thread.
    void stopAndWait();

protected:
    void run() override;

private:
    std::function<void(const MPEVENT&)> m_deliver;
    TRingBuffer m_ring;
    // Waits on the ring's QMutex. A QWaitCondition would do the same, but it releases the mutex
    // inside the toolkit, where the race checker cannot see it.
    std::condition_variable_any m_wake;
    bool m_stop = false; // under the ring's lock
};
