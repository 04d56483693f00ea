// One open input port of the host: receives every event its transport parses, stamps it with
// the program-wide receive counter and hands it, in a queue of its own, to each registered
// event filter in registration order.
#pragma once

#include "TMIDIReaderRefConInterface.h"

#include <dorvo/dorvo2.h>

#include <memory>
#include <mutex>
#include <vector>

class ClientIMPEventQueue;
class TMIDITransport;

class TAppMIDIIn : public TMIDIReaderRefConInterface {
public:
    TAppMIDIIn();
    // Closes the transport first, so that no delivery runs any more, then lets go of the queue.
    ~TAppMIDIIn() override;

    TAppMIDIIn(const TAppMIDIIn&) = delete;
    TAppMIDIIn& operator=(const TAppMIDIIn&) = delete;

    // GUI thread: opens the machine's input port `port` (1-based); false when the queue or the
    // transport cannot be made or the port does not open.
    bool open(int port);
    // GUI thread: as above on a transport of the caller's; takes it over even on failure.
    bool open(int port, std::unique_ptr<TMIDITransport> transport);
    // GUI thread: an input without a device, fed by whoever calls receiveEvent (the outer
    // application of the component build); false when the queue cannot be made.
    bool openFed(int port);

    // MIDI receive thread: one parsed event; nothing happens while no filter is registered.
    void receiveEvent(MPEVENT* event) override;

    // GUI thread; both wait for a delivery under way. A filter is listed at most once and is
    // not reference-counted here.
    void addFilter(IMPEventFilter* filter);
    void removeFilter(IMPEventFilter* filter);
    bool hasFilter(IMPEventFilter* filter);

    int port() const { return m_port; }

    // Any thread: the sequence number the next received event gets, program-wide.
    static ULONGLONG nextSequence();

private:
    void deliver(MPEVENT& event);

    // Guards the filter list and each delivery.
    std::recursive_mutex m_lock;
    std::vector<IMPEventFilter*> m_filters;
    ClientIMPEventQueue* m_queue = nullptr;
    std::unique_ptr<TMIDITransport> m_transport;
    int m_port = 0;
};
