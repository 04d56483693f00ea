#include "MidiMonitorComponent.h"

#include "MidiMonitorIds.h"

namespace {

const examples::ComponentClass kClass = {&CLSID_MidiMonitor,
                                         &CLSID_MidiMonitorPage,
                                         &IID_MidiMonitorComponent,
                                         {'D', 'M', 'O', 'N'},
                                         1,
                                         4096,
                                         false};

} // namespace

MidiMonitorComponent::MidiMonitorComponent() : ExampleComponent(kClass) {}

std::vector<MonitoredEvent> MidiMonitorComponent::eventsAfter(std::uint64_t after) const {
    std::lock_guard lock(m_mutex);
    std::vector<MonitoredEvent> events;
    for (const MonitoredEvent& event : m_events) {
        if (event.serial > after)
            events.push_back(event);
    }
    return events;
}

std::uint64_t MidiMonitorComponent::clearCount() const {
    std::lock_guard lock(m_mutex);
    return m_clearCount;
}

void MidiMonitorComponent::clear() {
    {
        std::lock_guard lock(m_mutex);
        m_events.clear();
        ++m_clearCount;
    }
    notify(examples::kActivity);
}

void MidiMonitorComponent::receive(const MPEVENT& event, const examples::Bytes& longBytes) {
    MonitoredEvent monitored = MonitoredEvent::fromEvent(event, longBytes);
    {
        std::lock_guard lock(m_mutex);
        monitored.serial = ++m_lastSerial;
        m_events.push_back(std::move(monitored));
        while (m_events.size() > kMaxEvents)
            m_events.pop_front();
    }
    notify(examples::kActivity);
}

// Only the port is saved (by the base); the version leaves room for settings of the monitor.
void MidiMonitorComponent::writeState(QDataStream&) const {}

HRESULT MidiMonitorComponent::readState(QDataStream&, std::uint16_t) {
    return S_OK;
}
