// How MIDI reaches the component from this outer application: what its input ports receive,
// and the bytes of files it plays, parsed into events and handed to the component's event
// filter as live input, one event per batch, on the thread they arrive on (the port's reader
// thread, or a player thread of its own). The component never waits for it, nor it for the
// component's GUI thread.
#pragma once

#include "TMIDIReaderRefConInterface.h"

#include <dorvo/dorvo2.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

class TMIDITransport;

class TOuterMidiFeed {
public:
    // Takes over the caller's reference to the filter (which may be null: nothing is fed).
    explicit TOuterMidiFeed(IMPEventFilter* filter);
    // Closes the input ports first.
    ~TOuterMidiFeed();

    TOuterMidiFeed(const TOuterMidiFeed&) = delete;
    TOuterMidiFeed& operator=(const TOuterMidiFeed&) = delete;

    // Opens machine input port `port` (1-based); false when it does not open.
    bool openInput(int port);
    void closeInputs();

    // Plays the bytes as arriving on port `port`, on a thread of its own, and waits for it;
    // the number of events handed over.
    int play(const std::vector<std::uint8_t>& bytes, int port);

    // Any thread: one event, handed to the filter.
    void deliver(const MPEVENT& event, int port);

    int eventsDelivered() const { return m_delivered.load(); }

private:
    struct Input;

    IMPEventFilter* m_filter;
    std::vector<std::unique_ptr<Input>> m_inputs;
    std::atomic<ULONGLONG> m_sequence{0};
    std::atomic<int> m_delivered{0};
};
