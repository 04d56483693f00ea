// A device pulled and plugged in again while the Workspace has it open, the same on every kind
// of MIDI device: the Workspace notices by itself, closes the port, keeps it chosen for Thru,
// does not take a device of another name for it, and once it is back under its name, Thru from
// it and a component's input from it work again.
#pragma once

#include "ApplicationWindow.h"
#include "HostingTestSupport.h"
#include "SetupDlg.h"
#include "ShellTestSupport.h"
#include "TVirtualMIDIPortAccessor.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace dorvo2test {

struct ReplugDevices {
    std::string source;         // the input device that is pulled
    std::string thruOutput;     // an output device whose arrivals the test counts
    std::string other;          // the name of the device that appears while the source is away
    std::function<void()> play; // a note into `source`
    std::function<std::size_t()> thruArrivals; // what reached `thruOutput` so far
    std::function<void()> pull, plugOther, plugBack;
};

inline void expectReplugWorks(const ReplugDevices& devices) {
    constexpr int kIn = TMIDIPortAccessor::kInput;
    constexpr int kOut = TMIDIPortAccessor::kOutput;
    ASSERT_TRUE(hostingtest::registerRecordingComponent());
    hostingtest::RecordingControl control;
    control.apply();
    ApplicationWindow window;
    window.yNewSession();
    window.setupDialog()->reject();
    ASSERT_NE(window.addComponent(hostingtest::recordingEntry(), "Keys"), nullptr);
    TVirtualMIDIPortAccessor& ports = *window.portAccessor();
    const int source = machineIndex(ports, kIn, devices.source);
    const int output = machineIndex(ports, kOut, devices.thruOutput);
    ASSERT_TRUE(source >= 0 && output >= 0);
    TVirtualMIDIPortAccessor::Selection selection;
    selection[kIn] = {source};
    selection[kOut] = {output};
    ports.applyPortSelection(selection, {true, source + 1, output + 1});
    const QUuid sourceId = ports.systemIds(kIn).at(source);
    auto selected = [&](const std::string& name) {
        const int index = machineIndex(ports, kIn, name);
        return index >= 0 && ports.currentSelection(kIn).contains(index);
    };
    auto playAndSee = [&] {
        const std::size_t before = devices.thruArrivals();
        control.takeLog();
        devices.play();
        QStringList log;
        const bool thru = eventLoopUntil([&] { return devices.thruArrivals() > before; });
        const bool input = eventLoopUntil([&] {
            log += control.takeLog();
            return log.contains("FilterEvents");
        });
        return thru && input;
    };
    ASSERT_TRUE(playAndSee());

    devices.pull();
    ASSERT_TRUE(eventLoopUntil([&] { return machineIndex(ports, kIn, devices.source) < 0; }));
    EXPECT_TRUE(ports.currentSelection(kIn).isEmpty());
    EXPECT_EQ(ports.thruSettings().inputPort, 0);
    EXPECT_EQ(ports.thruPortId(kIn), sourceId) << "chosen for Thru still, for when it is back";

    devices.plugOther();
    ASSERT_TRUE(eventLoopUntil([&] { return machineIndex(ports, kIn, devices.other) >= 0; }));
    EXPECT_FALSE(selected(devices.other));

    devices.plugBack();
    ASSERT_TRUE(eventLoopUntil([&] { return selected(devices.source); }));
    const int back = machineIndex(ports, kIn, devices.source);
    EXPECT_EQ(ports.systemIds(kIn).at(back), sourceId);
    EXPECT_EQ(ports.thruSettings().inputPort, back + 1);
    EXPECT_TRUE(playAndSee());
    window.eraseCurrentDocument();
}

} // namespace dorvo2test
