// A device of a real MIDI server (the fixture's jackd) pulled and plugged in again while the
// Workspace has it open: the Workspace notices by itself, and once the device is back under its
// name, MIDI Thru from it and a component's input from it work again; a device of another name
// that appears meanwhile is not taken for it.
#include "ApplicationWindow.h"
#include "HostingTestSupport.h"
#include "JackTestClient.h"
#include "SetupDlg.h"
#include "TVirtualMIDIPortAccessor.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <gtest/gtest.h>

#include <memory>

using dorvo2test::JackTestClient;
using hostingtest::RecordingControl;

namespace {

constexpr int kIn = TMIDIPortAccessor::kInput;
constexpr int kOut = TMIDIPortAccessor::kOutput;

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

TEST(ReplugJackTest, AServersPortPulledAndPluggedInAgainWorksAgainWithoutTheUser) {
    ASSERT_TRUE(hostingtest::registerRecordingComponent());
    RecordingControl control;
    control.apply();
    auto source = std::make_unique<JackTestClient>("dorvo-replug-keys");
    JackTestClient sink("dorvo-replug-synth");
    ASSERT_TRUE(source->isOpen() && sink.isOpen()) << "no JACK server; run under the fixture";
    const std::string device = source->outPortName();

    ApplicationWindow window;
    window.yNewSession();
    window.setupDialog()->reject();
    ASSERT_NE(window.addComponent(hostingtest::recordingEntry(), "Keys"), nullptr);
    TVirtualMIDIPortAccessor& ports = *window.portAccessor();
    TVirtualMIDIPortAccessor::Selection selection;
    selection[kIn] = {indexOf(ports, kIn, device)};
    selection[kOut] = {indexOf(ports, kOut, sink.inPortName())};
    ASSERT_GE(selection[kIn][0], 0);
    ports.applyPortSelection(selection, {true, selection[kIn][0] + 1, selection[kOut][0] + 1},
                             &window);

    QStringList log;
    auto playAndSee = [&](JackTestClient& keys) {
        const std::size_t before = sink.received();
        log.clear();
        control.takeLog();
        keys.play({0x90, 0x40, 0x50}, 3);
        const bool thru = eventLoopUntil([&] { return sink.received() > before; });
        const bool input = eventLoopUntil([&] {
            log += control.takeLog();
            return log.contains("FilterEvents");
        });
        return thru && input;
    };
    ASSERT_TRUE(playAndSee(*source));

    source->close();
    source.reset();
    ASSERT_TRUE(eventLoopUntil([&] { return indexOf(ports, kIn, device) < 0; }));
    EXPECT_TRUE(ports.currentSelection(kIn).isEmpty());

    JackTestClient other("dorvo-replug-other");
    ASSERT_TRUE(other.isOpen());
    ASSERT_TRUE(eventLoopUntil([&] { return indexOf(ports, kIn, other.outPortName()) >= 0; }));
    EXPECT_FALSE(selected(ports, kIn, other.outPortName()));

    source = std::make_unique<JackTestClient>("dorvo-replug-keys");
    ASSERT_TRUE(source->isOpen());
    ASSERT_EQ(source->outPortName(), device);
    ASSERT_TRUE(eventLoopUntil([&] { return selected(ports, kIn, device); }));
    EXPECT_TRUE(playAndSee(*source));
    window.eraseCurrentDocument();
}

} // namespace
