// The MIDI Monitor: keeps what arrives on its input port (the latest kMaxEvents events) for its
// page to list. It sends nothing and has no synchronization.
#pragma once

#include "MonitoredEvent.h"

#include <ExampleComponent.h>

#include <deque>

class MidiMonitorComponent final : public examples::ExampleComponent {
public:
    static constexpr std::size_t kMaxEvents = 1000;

    MidiMonitorComponent();

    // Any thread: the kept events with a serial above `after`, oldest first.
    std::vector<MonitoredEvent> eventsAfter(std::uint64_t after) const;
    // Any thread: grows by one with every clear, so that a page knows to start over.
    std::uint64_t clearCount() const;
    // GUI thread.
    void clear();

protected:
    void receive(const MPEVENT& event, const examples::Bytes& longBytes) override;
    void writeState(QDataStream& out) const override;
    HRESULT readState(QDataStream& in, std::uint16_t version) override;

private:
    // Under m_mutex.
    std::deque<MonitoredEvent> m_events;
    std::uint64_t m_lastSerial = 0;
    std::uint64_t m_clearCount = 0;
};
