// The driver on the virtual MIDI devices: what it receives, how it closes, how it sends.
#include "DevicePortNumber.h"
#include "RecordingSink.h"
#include "TWinMIDI.h"
#include "TWinMIDIPortAccessor.h"
#include "WarningCapture.h"

#include <QThread>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <dorvo/virtualmidi.h>
#include <gtest/gtest.h>
#include <random>

namespace {

namespace vm = dorvo::virtualmidi;
using namespace std::chrono_literals;
using Bytes = std::vector<BYTE>;

const std::string kLoopback = "Dorvo Loopback 1";
constexpr auto kPatience = 5s;

DWORD packShort(BYTE status, BYTE first, BYTE second) {
    return status | DWORD(first) << 8 | DWORD(second) << 16;
}

class WinMIDIDriverTest : public testing::Test {
protected:
    static void SetUpTestSuite() { setenv("DORVO2_MIDI", "virtual", 1); }
    void SetUp() override {
        vm::reset();
        inPort = portNumberOf(TMIDIPortAccessor::kInput, kLoopback);
        outPort = portNumberOf(TMIDIPortAccessor::kOutput, kLoopback);
        ASSERT_GT(inPort, 0);
        ASSERT_GT(outPort, 0);
    }
    void TearDown() override { vm::reset(); }

    // Waits until the output device recorded `count` messages.
    static std::vector<vm::SentMessage> waitForSent(const std::string& name, size_t count) {
        const auto deadline = vm::Clock::now() + kPatience;
        std::vector<vm::SentMessage> sent = vm::sentMessages(name);
        while (sent.size() < count && vm::Clock::now() < deadline) {
            QThread::msleep(5);
            sent = vm::sentMessages(name);
        }
        return sent;
    }

    RecordingSink sink;
    WarningCapture warnings;
    int inPort = 0;
    int outPort = 0;
};

// ---- Ports ------------------------------------------------------------------------------------

TEST_F(WinMIDIDriverTest, AccessorListsTheDevicesUnderIdsThatOutliveRemoval) {
    vm::addLoopback("Dorvo Test Device");
    QUuid added;
    {
        TWinMIDIPortAccessor ports;
        QList<QUuid> ids;
        ports.portIds(TMIDIPortAccessor::kOutput, ids);
        for (const QUuid& id : ids) {
            if (ports.portName(id) == "Dorvo Test Device")
                added = id;
        }
        EXPECT_EQ(ports.portNumber(added), ports.deviceCount(TMIDIPortAccessor::kOutput));
        EXPECT_EQ(ports.deviceName(TMIDIPortAccessor::kInput, -1), QString());
    }
    ASSERT_FALSE(added.isNull());
    vm::removeDevice("Dorvo Test Device");
    EXPECT_EQ(TWinMIDIPortAccessor().portNumber(added), 0);
    vm::addLoopback("Dorvo Test Device");
    EXPECT_GT(TWinMIDIPortAccessor().portNumber(added), 0);
}

// ---- Receiving --------------------------------------------------------------------------------

TEST_F(WinMIDIDriverTest, ShortAndLongInputReachTheSink) {
    TWinMIDI midi;
    ASSERT_TRUE(midi.openInput(inPort, &sink));
    vm::inject(kLoopback, {0x93, 0x3C, 0x40});
    ASSERT_TRUE(sink.waitForEvents(1, kPatience));
    Bytes sysex{0xF0};
    for (int i = 0; i < 10000; ++i)
        sysex.push_back(BYTE(i % 0x80));
    sysex.push_back(0xF7);
    vm::inject(kLoopback, sysex);
    vm::inject(kLoopback, {0xC2, 0x05});
    ASSERT_TRUE(sink.waitForEvents(3, kPatience));
    const auto events = sink.events();
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0].type, MPEVENT_NOTEON);
    EXPECT_EQ(events[0].channel, 3u);
    EXPECT_EQ(events[0].bytes, (Bytes{0x3C, 0x40, 0, 0}));
    EXPECT_EQ(events[1].type, MPEVENT_SYSEX);
    EXPECT_EQ(events[1].bytes, Bytes(sysex.begin() + 1, sysex.end()));
    EXPECT_EQ(events[2].type, MPEVENT_PROGRAMCHANGE);
    midi.closeInput();
    EXPECT_TRUE(warnings.checks("MIDIWinTransport").isEmpty());
}

TEST_F(WinMIDIDriverTest, OnlyChannelAndSysexStatusReachTheParser) {
    TWinMIDI midi;
    ASSERT_TRUE(midi.openInput(inPort, &sink));
    const auto instance = reinterpret_cast<DWORD_PTR>(&midi);
    // The short message F0 43 opens a system-exclusive message in the parser; a clock packet
    // reaching the parser would add its three padding bytes to it.
    TWinMIDI::midiInProc(nullptr, MIM_DATA, instance, packShort(0xF0, 0x43, 0x00), 0);
    TWinMIDI::midiInProc(nullptr, MIM_DATA, instance, 0xF8, 0);
    TWinMIDI::midiInProc(nullptr, MIM_DATA, instance, 0xFE, 0);
    // Buffer reports for headers that are not the transport's own are ignored.
    MIDIHDR foreign{};
    Bytes bytes{0xF0, 0x01, 0xF7};
    foreign.lpData = reinterpret_cast<LPSTR>(bytes.data());
    foreign.dwBytesRecorded = 3;
    TWinMIDI::midiInProc(nullptr, MIM_LONGDATA, instance, reinterpret_cast<DWORD_PTR>(&foreign), 0);
    TWinMIDI::midiInProc(nullptr, MIM_LONGERROR, instance, 1, 0);
    TWinMIDI::midiInProc(nullptr, MIM_DATA, instance, packShort(0x90, 0x3C, 0x40), 0);
    ASSERT_TRUE(sink.waitForEvents(2, kPatience));
    const auto events = sink.events();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].type, MPEVENT_SYSEX);
    EXPECT_EQ(events[0].bytes, (Bytes{0x43, 0x00, 0x00, 0xF7}));
    EXPECT_EQ(events[1].type, MPEVENT_NOTEON);
    // Through the device: a clock between two notes changes nothing.
    sink.clear();
    vm::inject(kLoopback, {0x90, 0x3C, 0x40});
    vm::inject(kLoopback, {0xF8});
    vm::inject(kLoopback, {0x80, 0x3C, 0x00});
    ASSERT_TRUE(sink.waitForEvents(2, kPatience));
    QThread::msleep(50);
    EXPECT_EQ(sink.events().size(), 2u);
}

// Holds every delivery up a little, so that records pile up in the ring.
class SlowSink : public RecordingSink {
public:
    void receiveEvent(MPEVENT* event) override {
        QThread::usleep(500);
        RecordingSink::receiveEvent(event);
    }
};

TEST_F(WinMIDIDriverTest, ClosingDeliversEverythingQueuedBeforeTheStop) {
    SlowSink slow;
    TWinMIDI midi;
    ASSERT_TRUE(midi.openInput(inPort, &slow));
    const auto instance = reinterpret_cast<DWORD_PTR>(&midi);
    // Below the ring's share for short messages, so that none is lost.
    constexpr int kQueued = 250;
    for (int i = 0; i < kQueued; ++i)
        TWinMIDI::midiInProc(nullptr, MIM_DATA, instance,
                             packShort(0x90, BYTE(i % 128), BYTE(i / 128)), 0);
    // Long buffers too: the reader gives them back to the device, which must still be open.
    for (int i = 0; i < 20; ++i)
        vm::inject(kLoopback, {0xF0, BYTE(i), 0xF7});
    QThread::msleep(20);
    midi.closeInput();
    const auto events = slow.events();
    std::vector<int> notes;
    for (const ReceivedEvent& event : events) {
        if (event.type == MPEVENT_NOTEON)
            notes.push_back(event.bytes[0] + 128 * event.bytes[1]);
    }
    ASSERT_EQ(notes.size(), size_t(kQueued));
    for (int i = 0; i < kQueued; ++i)
        EXPECT_EQ(notes[i], i);
    EXPECT_TRUE(warnings.checks("MIDIWinTransport").isEmpty())
        << warnings.messages().join('\n').toStdString();
    // Nothing arrives after the close.
    const size_t closedWith = slow.events().size();
    vm::inject(kLoopback, {0x90, 0x01, 0x01});
    QThread::msleep(50);
    EXPECT_EQ(slow.events().size(), closedWith);
}

// A burst far beyond the ring, to a reader that falls behind: the MIDI layer waits for room
// instead of the ring dropping, and every message arrives in order.
TEST_F(WinMIDIDriverTest, ABurstBeyondTheRingWaitsRatherThanGettingLost) {
    SlowSink slow;
    TWinMIDI midi;
    ASSERT_TRUE(midi.openInput(inPort, &slow));
    constexpr int kBurst = 3000;
    std::vector<std::uint8_t> burst;
    for (int i = 0; i < kBurst; ++i) {
        const std::uint8_t packed[] = {0x90, std::uint8_t(i % 128), std::uint8_t(i / 128)};
        burst.insert(burst.end(), std::begin(packed), std::end(packed));
    }
    vm::inject(kLoopback, burst);
    std::vector<int> notes;
    for (int wait = 0; wait < 10000 && notes.size() < size_t(kBurst); wait += 10) {
        QThread::msleep(10);
        notes.clear();
        for (const ReceivedEvent& event : slow.events())
            if (event.type == MPEVENT_NOTEON)
                notes.push_back(event.bytes[0] + 128 * event.bytes[1]);
    }
    ASSERT_EQ(notes.size(), size_t(kBurst));
    for (int i = 0; i < kBurst; ++i)
        ASSERT_EQ(notes[i], i);
    midi.closeInput();
    EXPECT_TRUE(warnings.messages().filter("lost").isEmpty())
        << warnings.messages().join('\n').toStdString();
}

TEST_F(WinMIDIDriverTest, GarbageAndCutOffSysexNeverCrashOrLeak) {
    std::mt19937 random(4711);
    TWinMIDI midi;
    ASSERT_TRUE(midi.openInput(inPort, &sink));
    for (int round = 0; round < 200; ++round) {
        Bytes garbage(1 + random() % 300);
        for (BYTE& b : garbage)
            b = BYTE(random());
        vm::inject(kLoopback, garbage);
    }
    // A message longer than a buffer and never finished: the parser holds its first part.
    Bytes unfinished{0xF0};
    unfinished.resize(6000, 0x11);
    vm::inject(kLoopback, unfinished);
    QThread::msleep(100);
    midi.closeInput();
    // What was cut off by the close does not stick to what comes after the next open.
    sink.clear();
    ASSERT_TRUE(midi.openInput(inPort, &sink));
    vm::inject(kLoopback, {0xF0, 0x03, 0xF7});
    ASSERT_TRUE(sink.waitForEvents(1, kPatience));
    QThread::msleep(50);
    const auto events = sink.events();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].bytes, (Bytes{0x03, 0xF7}));
    // Left open with an unfinished message: the destructor cleans up.
    vm::inject(kLoopback, unfinished);
    QThread::msleep(100);
}

// ---- Opening and closing ------------------------------------------------------------------------

TEST_F(WinMIDIDriverTest, FailedOpensLeaveTheTransportUsable) {
    TWinMIDI midi;
    EXPECT_FALSE(midi.openInput(0, &sink));
    EXPECT_FALSE(midi.openInput(999, &sink));
    EXPECT_FALSE(midi.openOutput(0));
    EXPECT_FALSE(midi.openOutput(999));
    midi.closeInput();
    midi.closeOutput();
    EXPECT_FALSE(midi.send(2, Bytes{0x3C, 0x40}.data(), 0x90)); // output not open
    ASSERT_TRUE(midi.openInput(inPort, &sink));
    ASSERT_TRUE(midi.openOutput(outPort));
    EXPECT_TRUE(warnings.checks("MIDIWinTransport").isEmpty());
    EXPECT_FALSE(midi.openInput(inPort, &sink));
    EXPECT_FALSE(midi.openOutput(outPort));
    EXPECT_EQ(warnings.checks("MIDIWinTransport"),
              (QStringList{"NULL == m_hMidiIn", "NULL == m_hMidiOut"}));
    // The first opens are untouched by the refused ones.
    const Bytes note{0x3C, 0x40};
    EXPECT_TRUE(midi.send(2, note.data(), 0x90));
    EXPECT_TRUE(sink.waitForEvents(1, kPatience));
}

// ---- Sending ------------------------------------------------------------------------------------

TEST_F(WinMIDIDriverTest, ChannelMessagesLeaveAsShortMessagesTheRestAsLong) {
    TWinMIDI midi;
    ASSERT_TRUE(midi.openOutput(outPort));
    const Bytes note{0x3C, 0x40, 0x7F};
    EXPECT_TRUE(midi.send(2, note.data(), 0x91));
    EXPECT_TRUE(midi.send(1, Bytes{0x05}.data(), 0xC3));
    EXPECT_FALSE(midi.send(0, nullptr, 0x90)); // a channel message needs its data
    EXPECT_FALSE(midi.send(2, nullptr, 0x90));
    EXPECT_FALSE(midi.send(0, nullptr, 0)); // nothing at all to send
    // Data that carries its own status byte goes out as it is, as a long message.
    EXPECT_TRUE(midi.send(3, Bytes{0xF0, 0x01, 0xF7}.data(), 0));
    const auto sent = waitForSent(kLoopback, 3);
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_TRUE(sent[2].longMessage);
    EXPECT_EQ(sent[2].bytes, (std::vector<std::uint8_t>{0xF0, 0x01, 0xF7}));
    EXPECT_FALSE(sent[0].longMessage);
    EXPECT_EQ(sent[0].bytes, (std::vector<std::uint8_t>{0x91, 0x3C, 0x40}));
    EXPECT_FALSE(sent[1].longMessage);
    EXPECT_EQ(sent[1].bytes, (std::vector<std::uint8_t>{0xC3, 0x05}));
}

TEST_F(WinMIDIDriverTest, LongSysexLeavesInChunksWithPauses) {
    TWinMIDI output;
    TWinMIDI input;
    ASSERT_TRUE(output.openOutput(outPort));
    ASSERT_TRUE(input.openInput(inPort, &sink));
    Bytes data;
    for (int i = 0; i < 9999; ++i)
        data.push_back(BYTE(i % 0x80));
    data.push_back(0xF7);
    ASSERT_TRUE(output.send(int(data.size()), data.data(), 0xF0));
    const auto sent = waitForSent(kLoopback, 3);
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[0].bytes.size(), 4096u);
    EXPECT_EQ(sent[1].bytes.size(), 4096u);
    EXPECT_EQ(sent[2].bytes.size(), 1809u);
    std::vector<std::uint8_t> whole;
    for (const auto& message : sent) {
        EXPECT_TRUE(message.longMessage);
        whole.insert(whole.end(), message.bytes.begin(), message.bytes.end());
    }
    Bytes expected{0xF0};
    expected.insert(expected.end(), data.begin(), data.end());
    EXPECT_EQ(whole, expected);
    for (size_t i = 1; i < sent.size(); ++i)
        EXPECT_GE(sent[i].begin - sent[i - 1].end, 100ms) << "before chunk " << i;
    // The far end puts it together again.
    ASSERT_TRUE(sink.waitForEvents(1, kPatience));
    EXPECT_EQ(sink.events()[0].bytes, data);
}

TEST_F(WinMIDIDriverTest, NinthLongMessageWaitsForAFreeBuffer) {
    vm::setLongMessageDuration(kLoopback, 300ms);
    TWinMIDI midi;
    ASSERT_TRUE(midi.openOutput(outPort));
    const Bytes data{0x7D, 0x01, 0xF7};
    std::vector<vm::Clock::time_point> returned;
    for (int i = 0; i < 9; ++i) {
        ASSERT_TRUE(midi.send(int(data.size()), data.data(), 0xF0));
        returned.push_back(vm::Clock::now());
    }
    const auto sent = waitForSent(kLoopback, 9);
    ASSERT_EQ(sent.size(), 9u);
    const auto firstDone = sent[0].end;
    // Eight are handed over at once; the ninth only once one of them is done.
    for (int i = 0; i < 8; ++i)
        EXPECT_LT(returned[i], firstDone) << "message " << i << " waited";
    EXPECT_GE(returned[8], firstDone);
}

TEST_F(WinMIDIDriverTest, VanishedDeviceFailsWithoutHanging) {
    vm::addLoopback("Dorvo Vanishing");
    const int in = portNumberOf(TMIDIPortAccessor::kInput, "Dorvo Vanishing");
    const int out = portNumberOf(TMIDIPortAccessor::kOutput, "Dorvo Vanishing");
    TWinMIDI midi;
    ASSERT_TRUE(midi.openInput(in, &sink));
    ASSERT_TRUE(midi.openOutput(out));
    vm::removeDevice("Dorvo Vanishing");
    const Bytes note{0x3C, 0x40};
    EXPECT_FALSE(midi.send(2, note.data(), 0x90));
    EXPECT_FALSE(midi.send(2, note.data(), 0xF0));
    midi.closeInput();
    midi.closeOutput();
}

} // namespace
