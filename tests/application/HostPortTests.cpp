// The host object's ports on the virtual devices: opening and closing, what an event sent by a
// component becomes on the wire, and the way back through an input to the components' filters.
#include "ClientIUnknown.h"
#include "PortServiceTestObjects.h"
#include "TAppMIDIIn.h"

#include <gtest/gtest.h>

using namespace dorvo2test;

namespace {

MPEVENT shortEvent(DWORD type, DWORD channel, Bytes data, DWORD port) {
    MPEVENT event{};
    event.type = type;
    event.channel = channel;
    event.port = port;
    std::copy(data.begin(), data.end(), event.data);
    return event;
}

MPEVENT longEvent(DWORD type, Bytes& bytes, DWORD port) {
    MPEVENT event{};
    event.type = type;
    event.port = port;
    event.dataLength = DWORD(bytes.size());
    event.longData = bytes.data();
    return event;
}

class HostPortTest : public testing::Test {
protected:
    static void SetUpTestSuite() { useVirtualDevices(); }
    void SetUp() override {
        vm::reset();
        inPort = portNumberOf(TMIDIPortAccessor::kInput, kLoopback1);
        outPort = portNumberOf(TMIDIPortAccessor::kOutput, kLoopback1);
        ASSERT_GT(inPort, 0);
        ASSERT_GT(outPort, 0);
        host->setWorkspaceWindow(&workspace);
        ASSERT_TRUE(host->openPort(true, outPort));
        void* out = nullptr;
        ASSERT_EQ(host->QueryInterface(IID_IMPAsyncOutput, &out), S_OK);
        output = static_cast<IMPAsyncOutput*>(out);
    }
    void TearDown() override {
        output->Release();
        host->Release();
        vm::reset();
    }

    // Sends one event and returns what the device received for it.
    std::vector<vm::SentMessage> sentFor(const MPEVENT& event, std::size_t expected) {
        vm::clearSent(kLoopback1);
        EXPECT_EQ(output->SendEvent(&event, 1), S_OK);
        return waitForSent(kLoopback1, expected);
    }

    ClientIUnknown* host = new ClientIUnknown;
    IMPAsyncOutput* output = nullptr;
    FakeWorkspace workspace;
    int inPort = 0;
    int outPort = 0;
};

TEST_F(HostPortTest, EveryKindBecomesItsMessages) {
    const DWORD port = DWORD(outPort);
    struct Row {
        MPEVENT event;
        std::vector<Bytes> wire;
    };
    const Row rows[] = {
        {shortEvent(MPEVENT_NRPN, 2, {0x01, 0x02, 0x03, 0x04}, port),
         {{0xB2, 99, 0x01}, {0xB2, 98, 0x02}, {0xB2, 6, 0x03}, {0xB2, 38, 0x04}}},
        // Only the low four bits of the channel count.
        {shortEvent(MPEVENT_RPN, 0x13, {0x00, 0x05, 0x7F, 0x00}, port),
         {{0xB3, 101, 0x00}, {0xB3, 100, 0x05}, {0xB3, 6, 0x7F}, {0xB3, 38, 0x00}}},
        {shortEvent(MPEVENT_BANKPROGRAM, 5, {0x10, 0x20, 0x30}, port),
         {{0xB5, 0, 0x10}, {0xB5, 32, 0x20}, {0xC5, 0x30}}},
        {shortEvent(MPEVENT_NOTEOFF, 1, {0x3C, 0x40}, port), {{0x81, 0x3C, 0x40}}},
        {shortEvent(MPEVENT_NOTEON, 1, {0x3C, 0x7F}, port), {{0x91, 0x3C, 0x7F}}},
        {shortEvent(MPEVENT_POLYPRESSURE, 15, {0x3C, 0x10}, port), {{0xAF, 0x3C, 0x10}}},
        {shortEvent(MPEVENT_CONTROLCHANGE, 0, {0x07, 0x64}, port), {{0xB0, 0x07, 0x64}}},
        {shortEvent(MPEVENT_PROGRAMCHANGE, 9, {0x05, 0x66}, port), {{0xC9, 0x05}}},
        {shortEvent(MPEVENT_CHANNELPRESSURE, 4, {0x22, 0x66}, port), {{0xD4, 0x22}}},
        {shortEvent(MPEVENT_PITCHBEND, 6, {0x00, 0x40}, port), {{0xE6, 0x00, 0x40}}},
    };
    for (const Row& row : rows) {
        const auto sent = sentFor(row.event, row.wire.size());
        EXPECT_EQ(bytesOf(sent), row.wire) << "type " << row.event.type;
        for (const vm::SentMessage& message : sent)
            EXPECT_FALSE(message.longMessage);
    }

    Bytes sysex = {0x43, 0x10, 0x4C, 0xF7};
    auto sent = sentFor(longEvent(MPEVENT_SYSEX, sysex, port), 1);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_TRUE(sent[0].longMessage);
    EXPECT_EQ(sent[0].bytes, (Bytes{0xF0, 0x43, 0x10, 0x4C, 0xF7}));
    Bytes rest = {0x11, 0x22, 0xF7};
    sent = sentFor(longEvent(MPEVENT_SYSEXCONTINUATION, rest, port), 1);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].bytes, (Bytes{0xF7, 0x11, 0x22, 0xF7}));
}

TEST_F(HostPortTest, WhatDoesNotConvertSendsNothing) {
    const DWORD port = DWORD(outPort);
    MPEVENT lengthyNote = shortEvent(MPEVENT_NOTEON, 0, {0x3C, 0x40}, port);
    lengthyNote.dataLength = 2;
    Bytes sysex = {0x43, 0xF7};
    MPEVENT noBytes = longEvent(MPEVENT_SYSEX, sysex, port);
    noBytes.longData = nullptr;
    MPEVENT emptySysex = longEvent(MPEVENT_SYSEX, sysex, port);
    emptySysex.dataLength = 0;
    const MPEVENT refused[] = {
        lengthyNote,
        noBytes,
        emptySysex,
        shortEvent(MPEVENT_NONE, 0, {0x3C, 0x40}, port),
        shortEvent(0x1000, 0, {0x3C, 0x40}, port),
        longEvent(0x40000, sysex, port),
        shortEvent(MPEVENT_NOTEON | MPEVENT_NOTEOFF, 0, {0x3C, 0x40}, port),
        // A status byte among the data would start another message on the wire; a parameter
        // number is refused whole, not cut off where the bad byte is.
        shortEvent(MPEVENT_NOTEON, 0, {0x90, 0x40}, port),
        shortEvent(MPEVENT_NRPN, 0, {0x01, 0x02, 0x03, 0x84}, port),
        shortEvent(MPEVENT_BANKPROGRAM, 0, {0x01, 0x02, 0x83}, port),
    };
    for (const MPEVENT& event : refused)
        EXPECT_EQ(output->SendEvent(&event, 1), S_OK) << "type " << event.type;
    // Without bit 0 of the flags nothing goes out, whatever the event.
    const MPEVENT note = shortEvent(MPEVENT_NOTEON, 0, {0x3C, 0x40}, port);
    EXPECT_EQ(output->SendEvent(&note, 0), S_OK);
    EXPECT_EQ(output->SendEvent(&note, 0xFFFFFFFE), S_OK);

    // The port still works, and what arrives is only this note.
    const MPEVENT marker = shortEvent(MPEVENT_NOTEOFF, 0, {0x3C, 0x00}, port);
    EXPECT_EQ(output->SendEvent(&marker, 0xFFFFFFFF), S_OK);
    EXPECT_EQ(bytesOf(waitForSent(kLoopback1, 1)), (std::vector<Bytes>{{0x80, 0x3C, 0x00}}));
}

TEST_F(HostPortTest, EventsLeaveInTheOrderTheyWereSent) {
    // The device takes its time over a long message; the note sent after it must wait.
    vm::setLongMessageDuration(kLoopback1, std::chrono::milliseconds(40));
    Bytes dump = {0x43, 0x10, 0xF7};
    const MPEVENT sysex = longEvent(MPEVENT_SYSEX, dump, DWORD(outPort));
    const MPEVENT program = shortEvent(MPEVENT_PROGRAMCHANGE, 0, {0x05}, DWORD(outPort));
    ASSERT_EQ(output->SendEvent(&sysex, 1), S_OK);
    ASSERT_EQ(output->SendEvent(&program, 1), S_OK);
    EXPECT_EQ(bytesOf(waitForSent(kLoopback1, 2)),
              (std::vector<Bytes>{{0xF0, 0x43, 0x10, 0xF7}, {0xC0, 0x05}}));
}

TEST_F(HostPortTest, OnlyOpenOutputPortsTakeEvents) {
    MPEVENT note = shortEvent(MPEVENT_NOTEON, 0, {0x3C, 0x40}, 0);
    EXPECT_EQ(output->SendEvent(&note, 1), E_FAIL);
    note.port = DWORD(outPort) + 40;
    EXPECT_EQ(output->SendEvent(&note, 1), E_FAIL);
    EXPECT_EQ(output->SendEvent(nullptr, 1), E_POINTER);

    const int otherPort = portNumberOf(TMIDIPortAccessor::kOutput, kLoopback2);
    EXPECT_FALSE(host->openPort(true, 0));
    EXPECT_FALSE(host->openPort(true, 99));
    EXPECT_FALSE(host->isPortOpen(true, 99));
    EXPECT_TRUE(host->openPort(true, otherPort));
    EXPECT_TRUE(host->openPort(true, otherPort));
    EXPECT_TRUE(host->isPortOpen(true, otherPort));
    EXPECT_FALSE(host->isPortOpen(false, otherPort));

    host->closePort(true, outPort);
    host->closePort(true, outPort);
    EXPECT_FALSE(host->isPortOpen(true, outPort));
    note.port = DWORD(outPort);
    EXPECT_EQ(output->SendEvent(&note, 1), E_FAIL);
    EXPECT_TRUE(vm::sentMessages(kLoopback1).empty());
    // Reopened, it sends again.
    ASSERT_TRUE(host->openPort(true, outPort));
    EXPECT_EQ(output->SendEvent(&note, 1), S_OK);
    EXPECT_EQ(waitForSent(kLoopback1, 1).size(), 1u);

    auto* orphan = new ClientIMPAsyncOutput(nullptr);
    EXPECT_EQ(orphan->SendEvent(&note, 1), E_FAIL);
    EXPECT_EQ(orphan->Release(), 0u);
}

TEST_F(HostPortTest, AnOpenedInputDeliversToTheWorkspacesFilters) {
    RecordingFilter first, second, later;
    workspace.filters = {&first, &second};
    EXPECT_FALSE(host->openPort(false, 0));
    EXPECT_FALSE(host->openPort(false, 99));
    ASSERT_TRUE(host->openPort(false, inPort));
    EXPECT_TRUE(host->openPort(false, inPort));
    EXPECT_TRUE(host->isPortOpen(false, inPort));
    host->registerEventFilter(&later);
    host->registerEventFilter(nullptr);

    // Out through a component's output, back in through the loopback.
    const MPEVENT note = shortEvent(MPEVENT_NOTEON, 7, {0x3C, 0x40}, DWORD(outPort));
    ASSERT_EQ(output->SendEvent(&note, 1), S_OK);
    ASSERT_TRUE(later.waitForCalls(1));
    for (RecordingFilter* filter : {&first, &second, &later}) {
        const auto calls = filter->calls();
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_TRUE(calls[0].found);
        EXPECT_EQ(calls[0].event.port, DWORD(inPort));
        EXPECT_EQ(calls[0].event.channel, 7u);
    }
    // All filters saw the same stamping.
    EXPECT_EQ(first.calls()[0].event.sequence, later.calls()[0].event.sequence);

    host->removeEventFilter(&first);
    ASSERT_EQ(output->SendEvent(&note, 1), S_OK);
    ASSERT_TRUE(later.waitForCalls(2));
    EXPECT_EQ(first.callCount(), 1u);
    EXPECT_EQ(second.callCount(), 2u);

    const ULONGLONG before = TAppMIDIIn::nextSequence();
    host->closePort(false, inPort);
    EXPECT_FALSE(host->isPortOpen(false, inPort));
    ASSERT_EQ(output->SendEvent(&note, 1), S_OK);
    waitForSent(kLoopback1, 3);
    EXPECT_EQ(later.callCount(), 2u);
    EXPECT_EQ(TAppMIDIIn::nextSequence(), before);
}

TEST_F(HostPortTest, TheMachinePortsAreListedOnConstruction) {
    TMIDIPortAccessor* machine = host->machinePortAccessor();
    ASSERT_NE(machine, nullptr);
    QList<QUuid> ids;
    machine->portIds(TMIDIPortAccessor::kOutput, ids);
    QStringList names;
    for (const QUuid& id : ids)
        names << machine->portName(id);
    EXPECT_TRUE(names.contains(QString::fromStdString(kLoopback1)))
        << names.join(u',').toStdString();
    EXPECT_EQ(host->portListSource(), nullptr);
}

TEST_F(HostPortTest, TeardownClosesEverythingStillOpen) {
    RecordingFilter filter;
    FakeWorkspace window;
    window.filters = {&filter};
    const int thruPort = portNumberOf(TMIDIPortAccessor::kOutput, kLoopback2);
    auto* other = new ClientIUnknown;
    other->setWorkspaceWindow(&window);
    ASSERT_TRUE(other->openPort(false, inPort));
    ASSERT_TRUE(other->openPort(true, thruPort));
    ASSERT_TRUE(other->addThruRoute(inPort, thruPort));
    vm::inject(kLoopback1, {0x90, 0x3C, 0x40});
    ASSERT_TRUE(filter.waitForCalls(1));
    ASSERT_EQ(waitForSent(kLoopback2, 1).size(), 1u);

    // Released with its ports and route in place (the leak checker sees a filter or writer
    // left behind): nothing is received or passed through afterwards.
    EXPECT_EQ(other->Release(), 0u);
    vm::clearSent(kLoopback2);
    vm::inject(kLoopback1, {0x90, 0x3C, 0x40});
    QThread::msleep(50);
    EXPECT_EQ(filter.callCount(), 1u);
    EXPECT_TRUE(vm::sentMessages(kLoopback2).empty());
}

} // namespace
