// A sink that keeps a copy of every event a transport delivers, bytes included, since the
// delivered record and its bytes are valid only during the call.
#pragma once

#include "TMIDIReaderRefConInterface.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

struct ReceivedEvent {
    DWORD type = 0;
    DWORD channel = 0;
    DWORD dataLength = 0;
    std::vector<BYTE> bytes;        // short kinds: data[0..3]; long kinds: the dataLength bytes
    const BYTE* longData = nullptr; // where the bytes of a long kind were when delivered
};

class RecordingSink : public TMIDIReaderRefConInterface {
public:
    void receiveEvent(MPEVENT* event) override {
        ReceivedEvent copy;
        copy.type = event->type;
        copy.channel = event->channel;
        copy.dataLength = event->dataLength;
        if (event->type & MPEVENT_MASK_LONG) {
            copy.longData = event->longData;
            copy.bytes.assign(event->longData, event->longData + event->dataLength);
        } else {
            copy.bytes.assign(event->data, event->data + 4);
        }
        std::lock_guard<std::mutex> lock(m_mutex);
        m_events.push_back(std::move(copy));
        m_arrived.notify_all();
    }

    std::vector<ReceivedEvent> events() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_events;
    }
    void clear() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_events.clear();
    }
    // Waits until at least `count` events arrived or the time is up; true when they did.
    bool waitForEvents(std::size_t count, std::chrono::milliseconds timeout) {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_arrived.wait_for(lock, timeout, [&] { return m_events.size() >= count; });
    }

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_arrived;
    std::vector<ReceivedEvent> m_events;
};
