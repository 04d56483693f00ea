// Devices pulled and plugged in again while Dorvo runs: the Workspace lists its ports again by
// itself, closes what went, and opens a returning device by its identity, with MIDI Thru and
// the components' input working again; a device of another name is not taken for it.
#include "ApplicationWindow.h"
#include "CVEXWrapper.h"
#include "ClientIUnknown.h"
#include "HostingTestSupport.h"
#include "SetupDlg.h"
#include "TVirtualMIDIPortAccessor.h"

#include <dorvo/virtualmidi.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <gtest/gtest.h>

using hostingtest::RecordingControl;
using hostingtest::recordingEntry;
namespace vm = dorvo::virtualmidi;

namespace {

constexpr int kIn = TMIDIPortAccessor::kInput;
constexpr int kOut = TMIDIPortAccessor::kOutput;
const std::string kSource = "Dorvo Loopback 1";
const std::string kThruOut = "Dorvo Loopback 2";

template <typename Condition> bool eventLoopUntil(Condition done, int milliseconds = 5000) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < milliseconds)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

int indexOf(TVirtualMIDIPortAccessor& ports, int direction, const std::string& name) {
    const QList<QUuid>& ids = ports.systemIds(direction);
    for (int i = 0; i < ids.size(); ++i)
        if (ports.systemPorts()->portName(ids[i]) == QString::fromStdString(name))
            return i;
    return -1;
}

bool selected(TVirtualMIDIPortAccessor& ports, int direction, const std::string& name) {
    const int index = indexOf(ports, direction, name);
    return index >= 0 && ports.currentSelection(direction).contains(index);
}

bool passedThrough(std::uint8_t note) {
    for (const vm::SentMessage& message : vm::sentMessages(kThruOut))
        if (message.bytes.size() == 3 && message.bytes[1] == note)
            return true;
    return false;
}

TEST(DeviceChangeTest, APulledDeviceComesBackOpenWithThruAndInputWithoutTheUser) {
    ASSERT_TRUE(hostingtest::registerRecordingComponent());
    RecordingControl control;
    control.apply();
    vm::reset();
    ApplicationWindow window;
    window.yNewSession();
    window.setupDialog()->reject();
    ASSERT_NE(window.addComponent(recordingEntry(), "Keys"), nullptr);
    TVirtualMIDIPortAccessor& ports = *window.portAccessor();
    TVirtualMIDIPortAccessor::Selection selection;
    selection[kIn] = {indexOf(ports, kIn, kSource)};
    selection[kOut] = {indexOf(ports, kOut, kThruOut)};
    ports.applyPortSelection(
        selection, {true, indexOf(ports, kIn, kSource) + 1, indexOf(ports, kOut, kThruOut) + 1},
        &window);
    const QUuid sourceId = ports.systemIds(kIn).at(indexOf(ports, kIn, kSource));
    auto playAndSee = [&](std::uint8_t note) {
        control.takeLog();
        vm::inject(kSource, {0x90, note, 100});
        const bool thru = eventLoopUntil([&] { return passedThrough(note); });
        QStringList log;
        const bool input = eventLoopUntil([&] {
            log += control.takeLog();
            return log.contains("FilterEvents");
        });
        return thru && input;
    };
    ASSERT_TRUE(playAndSee(60));

    vm::removeDevice(kSource);
    ASSERT_TRUE(eventLoopUntil([&] { return indexOf(ports, kIn, kSource) < 0; }));
    EXPECT_TRUE(ports.currentSelection(kIn).isEmpty());
    EXPECT_EQ(ports.thruSettings().inputPort, 0);
    // Chosen for Thru still, for when it comes back.
    EXPECT_EQ(ports.thruPortId(kIn), sourceId);

    // Another device where it was is not it.
    vm::addLoopback("Dorvo Loopback 9");
    ASSERT_TRUE(eventLoopUntil([&] { return indexOf(ports, kIn, "Dorvo Loopback 9") >= 0; }));
    EXPECT_FALSE(selected(ports, kIn, "Dorvo Loopback 9"));

    vm::addLoopback(kSource);
    ASSERT_TRUE(eventLoopUntil([&] { return selected(ports, kIn, kSource); }));
    EXPECT_EQ(ports.systemIds(kIn).at(indexOf(ports, kIn, kSource)), sourceId);
    EXPECT_EQ(ports.thruSettings().inputPort, indexOf(ports, kIn, kSource) + 1);
    vm::clearSent(kThruOut);
    EXPECT_TRUE(playAndSee(62));
    window.eraseCurrentDocument();
    vm::reset();
}

} // namespace
