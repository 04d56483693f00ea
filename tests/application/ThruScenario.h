// MIDI Thru from end to end, the same on every kind of MIDI device: what a source plays into a
// Workspace input leaves through the Thru output, and comes back into an observing input of
// the Workspace (a loopback, or a pass-through client of the MIDI server), where a component's
// filter sees it.
#pragma once

#include "SetupTestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

namespace dorvo2test {

struct ThruDevices {
    std::string source;     // an input device the test plays into
    std::string thruOutput; // an output device that comes back on `observer`
    std::string observer;   // an input device
    // Plays short messages into `source`, in order.
    std::function<void(const std::vector<Bytes>&)> play;
};

class ThruScenario {
public:
    ThruScenario(WorkspacePorts& ports, ThruDevices devices)
        : m_ports(ports), m_devices(std::move(devices)) {
        // Every input the Workspace opens gets the watcher (before any thru filter).
        m_ports.workspace.filters = {&m_watcher};
    }
    // The watcher dies with the scenario, while the ports it watches stay open.
    ~ThruScenario() {
        m_ports.host->removeEventFilter(&m_watcher);
        m_ports.workspace.filters.clear();
    }
    ThruScenario(const ThruScenario&) = delete;
    ThruScenario& operator=(const ThruScenario&) = delete;

    void apply(bool on, const std::string& input, const std::string& output) {
        m_ports.accessor->applyPortSelection(
            m_ports.select({m_devices.source, m_devices.observer}, {m_devices.thruOutput}),
            m_ports.thru(on, input, output));
    }
    void applyBoth(bool on) { apply(on, m_devices.source, m_devices.thruOutput); }
    const ThruDevices& devices() const { return m_devices; }

    // The channel of the note-on that came back; -1 when none came within 5 s.
    int channelOfPassedNote() {
        const std::size_t seen = notesObserved().size();
        m_devices.play({{0x92, 0x3C, 0x64}});
        if (!waitUntil([&] { return notesObserved().size() > seen; }))
            return -1;
        const MPEVENT note = notesObserved().back();
        EXPECT_EQ(note.data[0], 0x3C);
        EXPECT_EQ(note.data[1], 0x64);
        return int(note.channel);
    }

    // Two notes are played; once the source delivered both, a marker sent straight to the Thru
    // output comes back. Anything the thru route passed would have come back before it.
    bool nothingPassed() {
        const std::size_t notes = notesObserved().size();
        const std::size_t markers = markersObserved();
        m_devices.play({{0x92, 0x3C, 0x64}, {0x92, 0x3D, 0x64}});
        const DWORD sourcePort = DWORD(m_ports.devicePort(kIn, m_devices.source));
        EXPECT_TRUE(waitUntil([&] {
            for (const FilteredEvent& call : m_watcher.calls()) {
                if (call.event.port == sourcePort && call.event.data[0] == 0x3D)
                    return true;
            }
            return false;
        }));
        MPEVENT marker{};
        marker.type = 0x100;
        marker.channel = 5;
        marker.port = DWORD(m_ports.devicePort(kOut, m_devices.thruOutput));
        marker.data[0] = 0x10;
        marker.data[1] = 0x7F;
        EXPECT_EQ(m_ports.host->sendEvent(&marker, 1), S_OK);
        EXPECT_TRUE(waitUntil([&] { return markersObserved() > markers; }));
        return notesObserved().size() == notes;
    }

private:
    static bool waitUntil(const std::function<bool()>& done) {
        for (int wait = 0; wait < 5000; ++wait) {
            if (done())
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return done();
    }
    std::vector<MPEVENT> observed(DWORD type) const {
        const DWORD observer = DWORD(m_ports.devicePort(kIn, m_devices.observer));
        std::vector<MPEVENT> events;
        for (const FilteredEvent& call : m_watcher.calls()) {
            if (call.found && call.event.port == observer && call.event.type == type)
                events.push_back(call.event);
        }
        return events;
    }
    std::vector<MPEVENT> notesObserved() const { return observed(0x40); }
    std::size_t markersObserved() const {
        std::size_t count = 0;
        for (const MPEVENT& event : observed(0x100))
            count += event.channel == 5 && event.data[0] == 0x10;
        return count;
    }

    WorkspacePorts& m_ports;
    ThruDevices m_devices;
    RecordingFilter m_watcher;
};

// The cases every device kind must pass.
inline void expectThruEndToEnd(WorkspacePorts& ports, ThruDevices devices) {
    ThruScenario thru(ports, std::move(devices));
    thru.applyBoth(true);
    // The tool bar's channel box at 10: a note-on on channel 3 leaves as 0x99.
    ports.host->setThruChannel(10);
    EXPECT_EQ(thru.channelOfPassedNote(), 9);
    // "Original" keeps the channel.
    ports.host->setThruChannel(0);
    EXPECT_EQ(thru.channelOfPassedNote(), 2);

    thru.applyBoth(false);
    EXPECT_TRUE(thru.nothingPassed()) << "thru off";
    thru.applyBoth(true);
    EXPECT_EQ(thru.channelOfPassedNote(), 2) << "thru on again";

    // Both ends are needed for a route.
    thru.apply(true, thru.devices().source, "");
    EXPECT_TRUE(thru.nothingPassed()) << "no output chosen";
    thru.apply(true, "", thru.devices().thruOutput);
    EXPECT_TRUE(thru.nothingPassed()) << "no input chosen";
}

} // namespace dorvo2test
