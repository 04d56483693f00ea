// The host object's ports on the virtual devices: what a component's event becomes on the wire,
// the way back through an input to the Workspace's filters, and MIDI Thru.
#include "ClientIUnknown.h"
#include "MIDIThroughFilter.h"
#include "PortServiceTestObjects.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <gtest/gtest.h>

#include <chrono>
#include <future>

using namespace dorvo2test;

namespace {

MPEVENT event(DWORD type, DWORD channel, Bytes data, int port, DWORD dataLength = 0) {
    MPEVENT result{};
    result.type = type;
    result.channel = channel;
    result.port = DWORD(port);
    result.dataLength = dataLength;
    std::copy(data.begin(), data.end(), result.data);
    return result;
}

MPEVENT longEvent(DWORD type, Bytes& bytes, int port) {
    MPEVENT result = event(type, 0, {}, port, DWORD(bytes.size()));
    result.longData = bytes.data();
    return result;
}

std::vector<Bytes> allNotesOff() {
    std::vector<Bytes> messages;
    for (BYTE channel = 0; channel < 16; ++channel)
        messages.push_back({BYTE(0xB0 | channel), 123, 0});
    return messages;
}

class MidiPortTest : public testing::Test {
protected:
    static void SetUpTestSuite() { useVirtualDevices(); }
    void SetUp() override {
        vm::reset();
        vm::addLoopback(kLoopback3);
        inPort = portNumberOf(TMIDIPortAccessor::kInput, kLoopback1);
        out1 = portNumberOf(TMIDIPortAccessor::kOutput, kLoopback1);
        out2 = portNumberOf(TMIDIPortAccessor::kOutput, kLoopback2);
        out3 = portNumberOf(TMIDIPortAccessor::kOutput, kLoopback3);
        host->setWorkspaceWindow(&workspace);
        for (int port : {out1, out2, out3})
            ASSERT_TRUE(host->openPort(true, port));
        host->QueryInterface(IID_IMPAsyncOutput, reinterpret_cast<void**>(&output));
    }
    // Released with its ports and routes in place: the leak checker sees what stays behind.
    void TearDown() override {
        output->Release();
        host->Release();
        vm::reset();
    }

    // Opens the input (Loopback 1, which the thru routes never send back to) with the watcher
    // registered after the routes: once it saw an event, the thru filter has handled it.
    void openInputWithRoutes(std::initializer_list<int> routes) {
        ASSERT_TRUE(host->openPort(false, inPort));
        for (int out : routes)
            ASSERT_TRUE(host->addThruRoute(inPort, out));
        host->registerEventFilter(&watcher);
    }
    void receive(const Bytes& bytes) {
        const std::size_t seen = watcher.callCount();
        vm::inject(kLoopback1, bytes);
        ASSERT_TRUE(watcher.waitForCalls(seen + 1));
    }

    ClientIUnknown* host = new ClientIUnknown;
    IMPAsyncOutput* output = nullptr;
    FakeWorkspace workspace;
    RecordingFilter watcher;
    int inPort = 0, out1 = 0, out2 = 0, out3 = 0;
};

TEST_F(MidiPortTest, EveryKindBecomesItsMessagesInOrder) {
    Bytes sysex = {0x43, 0x10, 0x4C, 0xF7}, rest = {0x11, 0x22, 0xF7};
    // The device takes its time over long messages; what follows them must wait.
    vm::setLongMessageDuration(kLoopback1, std::chrono::milliseconds(20));
    struct Row {
        MPEVENT event;
        std::vector<Bytes> wire;
    };
    const Row rows[] = {
        {event(MPEVENT_NRPN, 2, {1, 2, 3, 4}, out1),
         {{0xB2, 99, 1}, {0xB2, 98, 2}, {0xB2, 6, 3}, {0xB2, 38, 4}}},
        {longEvent(MPEVENT_SYSEX, sysex, out1), {{0xF0, 0x43, 0x10, 0x4C, 0xF7}}},
        {event(MPEVENT_RPN, 0x13, {0, 5, 0x7F, 0}, out1), // only the low four bits count
         {{0xB3, 101, 0}, {0xB3, 100, 5}, {0xB3, 6, 0x7F}, {0xB3, 38, 0}}},
        {event(MPEVENT_BANKPROGRAM, 5, {0x10, 0x20, 0x30}, out1),
         {{0xB5, 0, 0x10}, {0xB5, 32, 0x20}, {0xC5, 0x30}}},
        {longEvent(MPEVENT_SYSEXCONTINUATION, rest, out1), {{0xF7, 0x11, 0x22, 0xF7}}},
        {event(MPEVENT_NOTEOFF, 1, {0x3C, 0x40}, out1), {{0x81, 0x3C, 0x40}}},
        {event(MPEVENT_NOTEON, 1, {0x3C, 0x7F}, out1), {{0x91, 0x3C, 0x7F}}},
        {event(MPEVENT_POLYPRESSURE, 15, {0x3C, 0x10}, out1), {{0xAF, 0x3C, 0x10}}},
        {event(MPEVENT_CONTROLCHANGE, 0, {0x07, 0x64}, out1), {{0xB0, 0x07, 0x64}}},
        {event(MPEVENT_PROGRAMCHANGE, 9, {0x05, 0x66}, out1), {{0xC9, 0x05}}},
        {event(MPEVENT_CHANNELPRESSURE, 4, {0x22, 0x66}, out1), {{0xD4, 0x22}}},
        {event(MPEVENT_PITCHBEND, 6, {0x00, 0x40}, out1), {{0xE6, 0x00, 0x40}}},
    };
    std::vector<Bytes> wire;
    for (const Row& row : rows) {
        ASSERT_EQ(output->SendEvent(&row.event, 1), S_OK);
        wire.insert(wire.end(), row.wire.begin(), row.wire.end());
    }
    EXPECT_EQ(sentBytes(kLoopback1, wire.size()), wire);
}

TEST_F(MidiPortTest, WhatDoesNotConvertOrHasNoOpenPortSendsNothing) {
    Bytes sysex = {0x43, 0xF7};
    MPEVENT noBytes = longEvent(MPEVENT_SYSEX, sysex, out1), empty = noBytes;
    noBytes.longData = nullptr;
    empty.dataLength = 0;
    const MPEVENT refused[] = {event(MPEVENT_NOTEON, 0, {0x3C, 0x40}, out1, 2), noBytes, empty,
                               event(MPEVENT_NONE, 0, {0x3C, 0x40}, out1),
                               event(0x1000, 0, {1, 2}, out1), longEvent(0x40000, sysex, out1),
                               event(MPEVENT_NOTEON | MPEVENT_NOTEOFF, 0, {1, 2}, out1),
                               // A status byte among the data would start another message; a
                               // parameter number is refused whole.
                               event(MPEVENT_NOTEON, 0, {0x90, 0x40}, out1),
                               event(MPEVENT_NRPN, 0, {0x01, 0x02, 0x03, 0x84}, out1)};
    for (const MPEVENT& sent : refused)
        EXPECT_EQ(output->SendEvent(&sent, 1), S_OK) << sent.type;
    MPEVENT note = event(MPEVENT_NOTEON, 0, {0x3C, 0x40}, out1);
    EXPECT_EQ(output->SendEvent(&note, 0), S_OK);
    EXPECT_EQ(output->SendEvent(&note, 0xFFFFFFFE), S_OK);
    EXPECT_EQ(output->SendEvent(nullptr, 1), E_POINTER);
    for (DWORD port : {0u, 40u}) {
        note.port = port;
        EXPECT_EQ(output->SendEvent(&note, 1), E_FAIL);
    }
    host->closePort(true, out1);
    EXPECT_FALSE(host->isPortOpen(true, out1));
    note.port = DWORD(out1);
    EXPECT_EQ(output->SendEvent(&note, 1), E_FAIL);
    EXPECT_FALSE(host->openPort(true, 0) || host->openPort(true, 99) || host->openPort(false, 99));
    ASSERT_TRUE(host->openPort(true, out1));
    const MPEVENT marker = event(MPEVENT_NOTEOFF, 0, {0x3C, 0x00}, out1);
    EXPECT_EQ(output->SendEvent(&marker, 0xFFFFFFFF), S_OK);
    EXPECT_EQ(sentBytes(kLoopback1, 1), (std::vector<Bytes>{{0x80, 0x3C, 0x00}}));
    auto* orphan = new ClientIMPAsyncOutput(nullptr);
    EXPECT_EQ(orphan->SendEvent(&marker, 1), E_FAIL);
    orphan->Release();
}

TEST_F(MidiPortTest, AnOpenedInputDeliversToTheWorkspacesFilters) {
    ASSERT_NE(host->machinePortAccessor(), nullptr);
    RecordingFilter first, second;
    workspace.filters = {&first, &second};
    openInputWithRoutes({});
    const MPEVENT note = event(MPEVENT_NOTEON, 7, {0x3C, 0x40}, out1); // comes back on Loopback 1
    ASSERT_EQ(output->SendEvent(&note, 1), S_OK);
    ASSERT_TRUE(watcher.waitForCalls(1));
    for (RecordingFilter* filter : {&first, &second, &watcher}) {
        ASSERT_EQ(filter->callCount(), 1u);
        EXPECT_EQ(filter->calls()[0].event.port, DWORD(inPort));
        EXPECT_EQ(filter->calls()[0].event.channel, 7u);
    }
    host->removeEventFilter(&second);
    ASSERT_EQ(output->SendEvent(&note, 1), S_OK);
    ASSERT_TRUE(watcher.waitForCalls(2));
    EXPECT_EQ(second.callCount(), 1u);
    host->closePort(false, inPort);
    EXPECT_FALSE(host->isPortOpen(false, inPort));
    ASSERT_TRUE(host->openPort(false, inPort)); // with the Workspace's filters only
    ASSERT_EQ(output->SendEvent(&note, 1), S_OK);
    ASSERT_TRUE(second.waitForCalls(2));
    EXPECT_EQ(first.callCount(), 3u);
    EXPECT_EQ(watcher.callCount(), 2u);
}

TEST_F(MidiPortTest, ThruPassesShortEventsOnTheThruChannel) {
    EXPECT_FALSE(host->addThruRoute(inPort, out2)); // the input is not open yet
    openInputWithRoutes({out2});
    EXPECT_FALSE(host->addThruRoute(inPort, 99));
    receive({0x93, 0x3C, 0x40});
    host->setThruChannel(10);
    receive({0x93, 0x3C, 0x40});
    receive({0xF0, 0x43, 0x10, 0xF7});
    host->setThruChannel(17); // out of range: the channel stays
    receive({0xC3, 0x05});
    std::vector<Bytes> expected = {{0x93, 0x3C, 0x40}};
    for (const Bytes& off : allNotesOff())
        expected.push_back(off);
    expected.push_back({0x99, 0x3C, 0x40});
    for (const Bytes& off : allNotesOff())
        expected.push_back(off);
    expected.push_back({0xC9, 0x05});
    EXPECT_EQ(sentBytes(kLoopback2), expected);
    EXPECT_EQ(watcher.calls()[2].longBytes, (Bytes{0x43, 0x10, 0xF7}));
}

// A component's 64 KiB dump to the Thru output, 150 ms a chunk, holds the port for seconds.
class ThruDumpTest : public MidiPortTest {
protected:
    ThruDumpTest() : m_dump(64 * 1024, 0x11) { m_dump.back() = 0xF7; }
    ~ThruDumpTest() override {
        vm::setLongMessageDuration(kLoopback2, std::chrono::milliseconds(0));
    }

    // Returns once the dump's first chunk went out; the future answers when it is all sent.
    std::future<HRESULT> startDump() {
        openInputWithRoutes({out2});
        vm::setLongMessageDuration(kLoopback2, std::chrono::milliseconds(150));
        m_event = longEvent(MPEVENT_SYSEX, m_dump, out2);
        auto sending = std::async(std::launch::async, [&] { return host->sendEvent(&m_event, 1); });
        EXPECT_FALSE(sentBytes(kLoopback2, 1).empty());
        return sending;
    }
    // What the Thru output took, once it is `count` messages (the GUI loop runs meanwhile, for
    // the notes off that wait for the port), or after 5 s.
    std::vector<Bytes> sentOnceThere(std::size_t count) {
        std::vector<Bytes> sent;
        QElapsedTimer timer;
        timer.start();
        while (sent.size() < count && timer.elapsed() < 5000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            sent = sentBytes(kLoopback2);
        }
        return sent;
    }

    static constexpr std::size_t kDumpChunks = 17; // 65,537 bytes with the status byte

private:
    Bytes m_dump;
    MPEVENT m_event{};
};

// Changing the Thru channel meanwhile does not wait for it: the notes off follow the dump, and
// Thru goes on with the new channel.
TEST_F(ThruDumpTest, ChangingTheThruChannelDoesNotWaitForIt) {
    using namespace std::chrono_literals;
    auto sending = startDump();
    vm::inject(kLoopback1, {0x90, 0x3C, 0x40});
    host->setThruChannel(3);
    EXPECT_EQ(sending.wait_for(0s), std::future_status::timeout) << "the call came back before";
    ASSERT_EQ(sending.get(), S_OK);
    // The dump whole, then what waited for it: the note passed and the notes off, whichever
    // took the port first.
    const std::vector<Bytes> sent = sentOnceThere(kDumpChunks + 17);
    ASSERT_EQ(sent.size(), kDumpChunks + 17);
    EXPECT_EQ(sent[kDumpChunks - 1].back(), 0xF7) << "the dump's last chunk";
    std::vector<Bytes> tail(sent.begin() + kDumpChunks, sent.end());
    const auto note = std::find_if(
        tail.begin(), tail.end(), [](const Bytes& message) { return (message[0] & 0xF0) == 0x90; });
    ASSERT_NE(note, tail.end());
    tail.erase(note);
    EXPECT_EQ(tail, allNotesOff());
    receive({0x90, 0x3D, 0x40});
    EXPECT_EQ(sentBytes(kLoopback2, sent.size() + 1).back(), (Bytes{0x92, 0x3D, 0x40}));
}

// Switching Thru off and removing the route do not wait for it either: both calls come back
// while it goes on, and both rounds of notes off follow its last chunk.
TEST_F(ThruDumpTest, StoppingThruDoesNotWaitForIt) {
    using namespace std::chrono_literals;
    auto sending = startDump();
    host->thruOff();
    EXPECT_TRUE(host->removeThruRoute(inPort, out2));
    EXPECT_EQ(sending.wait_for(0s), std::future_status::timeout) << "the calls came back before";
    ASSERT_EQ(sending.get(), S_OK);
    const std::vector<Bytes> sent = sentOnceThere(kDumpChunks + 32);
    ASSERT_EQ(sent.size(), kDumpChunks + 32);
    EXPECT_EQ(sent[kDumpChunks - 1].back(), 0xF7) << "the dump's last chunk";
    std::vector<Bytes> expected = allNotesOff();
    const std::vector<Bytes> again = allNotesOff();
    expected.insert(expected.end(), again.begin(), again.end());
    EXPECT_EQ(std::vector<Bytes>(sent.begin() + kDumpChunks, sent.end()), expected);
}

TEST_F(MidiPortTest, RoutesStopWithTheirNotesOff) {
    openInputWithRoutes({out2, out3, out3});
    host->thruOff();
    EXPECT_EQ(sentBytes(kLoopback2), allNotesOff());
    vm::clearSent(kLoopback2);
    vm::clearSent(kLoopback3);
    receive({0x90, 0x3C, 0x40});
    host->thruOn();
    host->thruOn();
    receive({0x90, 0x3D, 0x40});
    EXPECT_EQ(sentBytes(kLoopback2), (std::vector<Bytes>{{0x90, 0x3D, 0x40}}));
    EXPECT_EQ(sentBytes(kLoopback3).size(), 2u); // routed twice

    // One of the routes: every output of the input hears all notes off; the rest goes on.
    vm::clearSent(kLoopback2);
    vm::clearSent(kLoopback3);
    host->removeThruRoute(inPort, out3);
    EXPECT_EQ(sentBytes(kLoopback2), allNotesOff());
    EXPECT_EQ(sentBytes(kLoopback3).size(), 32u); // routed twice
    vm::clearSent(kLoopback2);
    vm::clearSent(kLoopback3);
    receive({0x90, 0x3E, 0x40});
    EXPECT_EQ(sentBytes(kLoopback2), (std::vector<Bytes>{{0x90, 0x3E, 0x40}}));
    EXPECT_TRUE(sentBytes(kLoopback3).empty());
    // The last one, for good.
    vm::clearSent(kLoopback2);
    EXPECT_TRUE(host->removeThruRoute(inPort, out2));
    EXPECT_EQ(sentBytes(kLoopback2), allNotesOff());
    host->thruOn();
    receive({0x90, 0x3F, 0x40});
    EXPECT_EQ(sentBytes(kLoopback2).size(), 16u);
}

TEST_F(MidiPortTest, ARouteOfAClosedInputGoesWithItsNotesOff) {
    openInputWithRoutes({out2});
    host->closePort(false, inPort);
    host->thruOff(); // switches leave routes of closed inputs alone
    host->setThruChannel(4);
    EXPECT_TRUE(sentBytes(kLoopback2).empty());
    EXPECT_TRUE(host->removeThruRoute(inPort, out3));
    EXPECT_EQ(sentBytes(kLoopback2), allNotesOff());

    auto* filter = new MIDIThroughFilter(host, DWORD(out2));
    EXPECT_EQ(filter->FilterEvents(nullptr, nullptr), E_POINTER);
    EXPECT_EQ(MIDIThroughFilter::sendAllNotesOff(host, 99), E_FAIL);
    EXPECT_EQ(filter->Release(), 0u);
}

} // namespace
