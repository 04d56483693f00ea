// MIDI Thru on the virtual devices: what an input passes on to its routes' outputs, on which
// channel, and the notes switched off when routes stop.
#include "ClientIMPEventQueue.h"
#include "ClientIUnknown.h"
#include "MIDIThroughFilter.h"
#include "PortServiceTestObjects.h"

#include <gtest/gtest.h>

using namespace dorvo2test;

namespace {

const std::string kLoopback3 = "Dorvo Loopback 3";

// All notes off on the 16 channels, in channel order.
std::vector<Bytes> allNotesOff() {
    std::vector<Bytes> messages;
    for (BYTE channel = 0; channel < 16; ++channel)
        messages.push_back({BYTE(0xB0 | channel), 123, 0});
    return messages;
}

class ThruTest : public testing::Test {
protected:
    static void SetUpTestSuite() { useVirtualDevices(); }
    void SetUp() override {
        vm::reset();
        vm::addLoopback(kLoopback3);
        inPort = portNumberOf(TMIDIPortAccessor::kInput, kLoopback1);
        // Not Loopback 1's own output: a route to it would feed the input back.
        outPort = portNumberOf(TMIDIPortAccessor::kOutput, kLoopback2);
        otherOutPort = portNumberOf(TMIDIPortAccessor::kOutput, kLoopback3);
        ASSERT_TRUE(host->openPort(false, inPort));
        ASSERT_TRUE(host->openPort(true, outPort));
        ASSERT_TRUE(host->openPort(true, otherOutPort));
    }
    void TearDown() override {
        host->Release();
        vm::reset();
    }

    // Registers the watcher after the routes: once it saw an event, the thru filter, which
    // comes before it, has handled that event.
    void watch() { host->registerEventFilter(&watcher); }

    // Injects the bytes and waits until the watcher saw them.
    void receive(const Bytes& bytes) {
        const std::size_t seen = watcher.callCount();
        vm::inject(kLoopback1, bytes);
        ASSERT_TRUE(watcher.waitForCalls(seen + 1));
    }

    ClientIUnknown* host = new ClientIUnknown;
    RecordingFilter watcher;
    int inPort = 0, outPort = 0, otherOutPort = 0;
};

TEST_F(ThruTest, ShortEventsPassOnTheThruChannel) {
    ASSERT_TRUE(host->addThruRoute(inPort, outPort));
    watch();
    receive({0x93, 0x3C, 0x40});
    host->setThruChannel(10);
    // Switching the channel switches off what was playing.
    EXPECT_EQ(bytesOf(vm::sentMessages(kLoopback2)).size(), 1u + 16u);
    vm::clearSent(kLoopback2);
    receive({0x93, 0x3C, 0x40});
    receive({0xB3, 0x07, 0x64});
    host->setThruChannel(17); // out of range: the channel stays
    receive({0xC3, 0x05});
    host->setThruChannel(0);
    receive({0xE3, 0x00, 0x40});

    std::vector<Bytes> expected = {{0x99, 0x3C, 0x40}, {0xB9, 0x07, 0x64}};
    for (const Bytes& off : allNotesOff())
        expected.push_back(off);
    expected.push_back({0xC9, 0x05});
    for (const Bytes& off : allNotesOff())
        expected.push_back(off);
    expected.push_back({0xE3, 0x00, 0x40});
    EXPECT_EQ(bytesOf(vm::sentMessages(kLoopback2)), expected);
}

TEST_F(ThruTest, SystemExclusiveIsNotPassed) {
    ASSERT_TRUE(host->addThruRoute(inPort, outPort));
    watch();
    watcher.typeMask = MPEVENT_SYSEX;
    receive({0xF0, 0x43, 0x10, 0xF7});
    receive({0x80, 0x3C, 0x00});
    EXPECT_EQ(watcher.calls()[0].longBytes, (Bytes{0x43, 0x10, 0xF7}));
    EXPECT_EQ(bytesOf(vm::sentMessages(kLoopback2)), (std::vector<Bytes>{{0x80, 0x3C, 0x00}}));
}

TEST_F(ThruTest, RoutesNeedBothPortsOpen) {
    const int closedOut = portNumberOf(TMIDIPortAccessor::kOutput, kLoopback1);
    const int closedIn = portNumberOf(TMIDIPortAccessor::kInput, kLoopback2);
    EXPECT_FALSE(host->addThruRoute(inPort, closedOut));
    EXPECT_FALSE(host->addThruRoute(closedIn, outPort));
    EXPECT_FALSE(host->addThruRoute(0, 0));
    EXPECT_TRUE(host->removeThruRoute(closedIn, outPort));
    watch();
    receive({0x90, 0x3C, 0x40});
    EXPECT_TRUE(vm::sentMessages(kLoopback1).empty());
}

TEST_F(ThruTest, RemovingTheLastRouteSwitchesItsNotesOffFirst) {
    ASSERT_TRUE(host->addThruRoute(inPort, outPort));
    ASSERT_TRUE(host->addThruRoute(inPort, otherOutPort));
    watch();
    receive({0x90, 0x3C, 0x40});
    vm::clearSent(kLoopback2);
    vm::clearSent(kLoopback3);

    // One of two routes: every output of the input hears all notes off; the other route goes
    // on.
    EXPECT_TRUE(host->removeThruRoute(inPort, otherOutPort));
    EXPECT_EQ(bytesOf(vm::sentMessages(kLoopback3)), allNotesOff());
    EXPECT_EQ(bytesOf(vm::sentMessages(kLoopback2)), allNotesOff());
    vm::clearSent(kLoopback2);
    vm::clearSent(kLoopback3);
    receive({0x90, 0x3D, 0x40});
    EXPECT_EQ(bytesOf(vm::sentMessages(kLoopback2)), (std::vector<Bytes>{{0x90, 0x3D, 0x40}}));
    EXPECT_TRUE(vm::sentMessages(kLoopback3).empty());

    // The last one.
    vm::clearSent(kLoopback2);
    EXPECT_TRUE(host->removeThruRoute(inPort, outPort));
    EXPECT_EQ(bytesOf(vm::sentMessages(kLoopback2)), allNotesOff());
    vm::clearSent(kLoopback2);
    receive({0x90, 0x3E, 0x40});
    EXPECT_TRUE(vm::sentMessages(kLoopback2).empty());
    // The route is gone, not only stopped.
    host->thruOn();
    receive({0x90, 0x3E, 0x40});
    EXPECT_TRUE(vm::sentMessages(kLoopback2).empty());
    EXPECT_TRUE(host->removeThruRoute(inPort, outPort));
    EXPECT_TRUE(vm::sentMessages(kLoopback2).empty());
}

TEST_F(ThruTest, ARouteTwiceSendsTwiceAndGoesAtOnce) {
    ASSERT_TRUE(host->addThruRoute(inPort, outPort));
    ASSERT_TRUE(host->addThruRoute(inPort, outPort));
    watch();
    receive({0x90, 0x3C, 0x40});
    EXPECT_EQ(vm::sentMessages(kLoopback2).size(), 2u);
    vm::clearSent(kLoopback2);
    host->removeThruRoute(inPort, outPort);
    EXPECT_EQ(vm::sentMessages(kLoopback2).size(), 32u);
    vm::clearSent(kLoopback2);
    receive({0x90, 0x3C, 0x40});
    EXPECT_TRUE(vm::sentMessages(kLoopback2).empty());
}

TEST_F(ThruTest, ThruOffKeepsTheRoutesForThruOn) {
    ASSERT_TRUE(host->addThruRoute(inPort, outPort));
    watch();
    host->thruOff();
    EXPECT_EQ(bytesOf(vm::sentMessages(kLoopback2)), allNotesOff());
    vm::clearSent(kLoopback2);
    receive({0x90, 0x3C, 0x40});
    EXPECT_TRUE(vm::sentMessages(kLoopback2).empty());
    // Switching it off twice stops nothing more; switching it on twice passes events once.
    host->thruOff();
    host->thruOn();
    host->thruOn();
    vm::clearSent(kLoopback2);
    receive({0x91, 0x3C, 0x40});
    EXPECT_EQ(bytesOf(vm::sentMessages(kLoopback2)), (std::vector<Bytes>{{0x91, 0x3C, 0x40}}));
}

TEST_F(ThruTest, ARouteOfAClosedInputGoesWithItsNotesOff) {
    ASSERT_TRUE(host->addThruRoute(inPort, outPort));
    host->closePort(false, inPort);
    // Switches and channels leave the routes of closed inputs alone.
    host->thruOff();
    host->setThruChannel(4);
    EXPECT_TRUE(vm::sentMessages(kLoopback2).empty());

    EXPECT_TRUE(host->removeThruRoute(inPort, otherOutPort));
    EXPECT_EQ(bytesOf(vm::sentMessages(kLoopback2)), allNotesOff());
    vm::clearSent(kLoopback2);
    ASSERT_TRUE(host->openPort(false, inPort));
    host->thruOn();
    watch();
    receive({0x90, 0x3C, 0x40});
    EXPECT_TRUE(vm::sentMessages(kLoopback2).empty());
}

TEST_F(ThruTest, TheFilterReportsWhatItCouldNotSend) {
    const int closedOut = portNumberOf(TMIDIPortAccessor::kOutput, kLoopback1);
    auto* filter = new MIDIThroughFilter(host, DWORD(outPort));
    filter->addOutputPort(DWORD(closedOut));
    auto* queue = new ClientIMPEventQueue(nullptr);
    MPEVENT note{};
    note.type = MPEVENT_NOTEON;
    note.data[0] = 0x3C;
    queue->PutEvents(1, &note);
    const MPFILTERINFO info{0, 1, 1, 0, MPFILTER_LIVEINPUT, 0};

    EXPECT_EQ(filter->FilterEvents(nullptr, &info), E_POINTER);
    // The open port still gets the event when another one fails.
    EXPECT_EQ(filter->FilterEvents(queue, &info), E_FAIL);
    EXPECT_EQ(bytesOf(waitForSent(kLoopback2, 1)), (std::vector<Bytes>{{0x90, 0x3C, 0x00}}));
    EXPECT_EQ(filter->allNotesOff(DWORD(closedOut)), E_FAIL);
    EXPECT_EQ(filter->allNotesOff(0), E_FAIL);
    filter->removeOutputPort(DWORD(closedOut));
    EXPECT_EQ(filter->FilterEvents(queue, &info), S_OK);
    EXPECT_EQ(filter->allNotesOff(0), S_OK);
    DWORD untouched[3] = {7, 7, 7};
    EXPECT_EQ(filter->GetFilterInfo(&untouched[0], &untouched[1], &untouched[2]), S_OK);
    EXPECT_EQ(untouched[0] + untouched[1] + untouched[2], 21u);
    EXPECT_EQ(queue->Release(), 0u);
    EXPECT_EQ(filter->Release(), 0u);
}

} // namespace
