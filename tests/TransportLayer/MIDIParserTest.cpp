// The receive parser: raw chunks and packets in, MPEVENT records out; and the reader thread.
#include "RecordingSink.h"
#include "TAutoResetEvent.h"
#include "TMIDIEventPushThread.h"
#include "TMIDITransport.h"
#include "WarningCapture.h"

#include <QThread>
#include <atomic>
#include <gtest/gtest.h>

namespace {

using Bytes = std::vector<BYTE>;

// The parser of the transport base, without a device behind it.
class ParserUnderTest : public TMIDITransport {
public:
    explicit ParserUnderTest(TMIDIReaderRefConInterface* sink) { m_sink = sink; }
    bool openInput(int, TMIDIReaderRefConInterface*) override { return false; }
    void closeInput() override {}
    bool openOutput(int) override { return false; }
    void closeOutput() override {}
    bool send(int, const BYTE*, BYTE) override { return false; }
    void feed(const Bytes& chunk) { processInput(int(chunk.size()), chunk.data()); }
};

struct Expected {
    DWORD type;
    DWORD channel;
    Bytes bytes; // short kinds: data[0..3]; long kinds: the data bytes
};

struct ParserCase {
    const char* name;
    std::vector<Bytes> chunks;
    std::vector<Expected> events;
};

constexpr DWORD kSysex = MPEVENT_SYSEX;
constexpr DWORD kContinuation = MPEVENT_SYSEXCONTINUATION;

const ParserCase kCases[] = {
    // Short messages come as 4-byte packets.
    {"note on", {{0x90, 0x3C, 0x40, 0x00}}, {{MPEVENT_NOTEON, 0, {0x3C, 0x40, 0, 0}}}},
    {"program change", {{0xC5, 0x10, 0x00, 0x00}}, {{MPEVENT_PROGRAMCHANGE, 5, {0x10, 0, 0, 0}}}},
    {"every channel kind, padding never read as data",
     {{0x81, 1, 2, 9, 0xA3, 5, 6, 9, 0xB4, 7, 8, 9, 0xD7, 11, 12, 9, 0xEF, 13, 14, 9}},
     {{MPEVENT_NOTEOFF, 1, {1, 2, 0, 0}},
      {MPEVENT_POLYPRESSURE, 3, {5, 6, 0, 0}},
      {MPEVENT_CONTROLCHANGE, 4, {7, 8, 0, 0}},
      {MPEVENT_CHANNELPRESSURE, 7, {11, 0, 0, 0}},
      {MPEVENT_PITCHBEND, 15, {13, 14, 0, 0}}}},
    {"packet cut off at the end", {{0x90, 0x3C}, {0xC5}, {0xB0, 0x07}}, {}},
    {"long enough though shorter than a packet",
     {{0x90, 0x3C, 0x40}, {0xC0, 0x01}},
     {{MPEVENT_NOTEON, 0, {0x3C, 0x40, 0, 0}}, {MPEVENT_PROGRAMCHANGE, 0, {1, 0, 0, 0}}}},
    // Running status is not supported; system common and real-time bytes are dropped.
    {"stray data and system bytes",
     {{0x3C, 0x40, 0x90, 0x3C, 0x40, 0x00, 0x3D, 0x40},
      {0xF1, 0xF2, 0xF6, 0xF8, 0xFE, 0xFF, 0xB0, 0x07, 0x64, 0x00}},
     {{MPEVENT_NOTEON, 0, {0x3C, 0x40, 0, 0}}, {MPEVENT_CONTROLCHANGE, 0, {7, 0x64, 0, 0}}}},
    // System exclusive: a chunk belongs to the message whole, whatever its bytes.
    {"sysex in one chunk", {{0xF0, 0x43, 0x10, 0xF7}}, {{kSysex, 0, {0x43, 0x10, 0xF7}}}},
    {"continuation in one chunk", {{0xF7, 0x01, 0xF7}}, {{kContinuation, 0, {0x01, 0xF7}}}},
    {"status bytes inside a chunk are data",
     {{0xF0, 0x43, 0x90, 0x3C, 0xF7}},
     {{kSysex, 0, {0x43, 0x90, 0x3C, 0xF7}}}},
    {"sysex across chunks",
     {{0xF0, 0x43}, {0x11, 0xF8, 0x80}, {0x10, 0xF7}},
     {{kSysex, 0, {0x43, 0x11, 0xF8, 0x80, 0x10, 0xF7}}}},
    {"start byte alone", {{0xF0}, {0x43, 0xF7}}, {{kSysex, 0, {0x43, 0xF7}}}},
    {"continuation across chunks",
     {{0xF7, 0x01}, {0x02, 0xF7}},
     {{kContinuation, 0, {1, 2, 0xF7}}}},
    {"lone closing byte", {{0xF7}}, {{kContinuation, 0, {}}}},
    {"real-time bytes opening a later chunk are dropped",
     {{0xF0, 0x43}, {0xF8, 0x10, 0xF7}, {0xF0, 0x44}, {0xFE, 0xFF}, {0xF7}},
     {{kSysex, 0, {0x43, 0x10, 0xF7}}, {kSysex, 0, {0x44, 0xF7}}}},
    {"status byte completes an open message first",
     {{0xF0, 0x43}, {0x90, 0x3C, 0x40, 0x00}},
     {{kSysex, 0, {0x43, 0xF7}}, {MPEVENT_NOTEON, 0, {0x3C, 0x40, 0, 0}}}},
    {"closing byte is used up, not doubled",
     {{0xF0, 0x44}, {0xF7, 0xC1, 0x05, 0x00, 0x00}},
     {{kSysex, 0, {0x44, 0xF7}}, {MPEVENT_PROGRAMCHANGE, 1, {5, 0, 0, 0}}}},
    {"system common byte ends a message and is dropped",
     {{0xF0, 0x45}, {0xF3, 0x01}},
     {{kSysex, 0, {0x45, 0xF7}}}},
};

TEST(MIDIParser, TurnsChunksIntoEvents) {
    for (const ParserCase& test : kCases) {
        SCOPED_TRACE(test.name);
        WarningCapture warnings;
        RecordingSink sink;
        ParserUnderTest parser(&sink);
        for (const Bytes& chunk : test.chunks)
            parser.feed(chunk);
        const auto received = sink.events();
        ASSERT_EQ(received.size(), test.events.size());
        for (size_t i = 0; i < received.size(); ++i) {
            EXPECT_EQ(received[i].type, test.events[i].type) << "event " << i;
            EXPECT_EQ(received[i].channel, test.events[i].channel) << "event " << i;
            EXPECT_EQ(received[i].bytes, test.events[i].bytes) << "event " << i;
            const bool isLong = received[i].type & MPEVENT_MASK_LONG;
            EXPECT_EQ(received[i].dataLength, isLong ? test.events[i].bytes.size() : 0u);
        }
        EXPECT_TRUE(warnings.messages().isEmpty());
    }
}

TEST(MIDIParser, WholeMessageIsHandedOnWhereItLiesAndPiecesAreCopied) {
    RecordingSink sink;
    ParserUnderTest parser(&sink);
    const Bytes whole{0xF0, 0x43, 0x10, 0xF7};
    parser.feed(whole);
    const Bytes last{0x10, 0xF7};
    parser.feed({0xF0, 0x43});
    parser.feed(last);
    const auto received = sink.events();
    ASSERT_EQ(received.size(), 2u);
    EXPECT_EQ(received[0].longData, whole.data() + 1);
    EXPECT_NE(received[1].longData, last.data() + 1);
}

TEST(MIDIParser, UnfinishedMessageIsFreedAndMissingSinkIsHarmless) {
    // Under the address sanitizer a leaked buffer fails this test at exit.
    RecordingSink sink;
    {
        ParserUnderTest parser(&sink);
        parser.feed({0xF0, 0x43, 0x10});
        parser.feed(Bytes(5000, 0x11));
    }
    EXPECT_TRUE(sink.events().empty());
    ParserUnderTest parser(nullptr);
    parser.feed({0x90, 0x3C, 0x40, 0x00, 0xF0, 0x01, 0xF7});
    parser.feed({0xF0, 0x01});
    parser.feed({0x02, 0xF7});
    EXPECT_EQ(parser.processInput(4, nullptr), 0);
}

// ---- Reader thread ----------------------------------------------------------------------------

// Counts the reader thread's rounds and ends it after a given number of them.
class CountingTransport : public ParserUnderTest {
public:
    explicit CountingTransport(int roundsUntilEnd = -1)
        : ParserUnderTest(nullptr), m_roundsUntilEnd(roundsUntilEnd) {}
    ~CountingTransport() override { stopPusherThread(); }

    int processInput(int len, const BYTE* bytes) override {
        EXPECT_EQ(len, 0);
        EXPECT_EQ(bytes, nullptr);
        m_readerThread = QThread::currentThread();
        const int round = ++m_rounds;
        m_roundDone.set();
        return round == m_roundsUntilEnd ? 1 : 0;
    }
    void wake() { m_hEventMIDIReader->set(); }
    bool threadRunning() const { return m_pusherThread && m_pusherThread->isRunning(); }

    std::atomic<int> m_rounds{0};
    std::atomic<QThread*> m_readerThread{nullptr};
    TAutoResetEvent m_roundDone;

private:
    int m_roundsUntilEnd;
};

TEST(MIDIReaderThread, ProcessesOnItsOwnThreadOncePerWakeUntilToldToEnd) {
    CountingTransport transport(2);
    ASSERT_TRUE(transport.startPusherThread());
    EXPECT_EQ(transport.m_rounds, 0);
    transport.wake();
    ASSERT_TRUE(transport.m_roundDone.wait(5000));
    EXPECT_NE(transport.m_readerThread.load(), QThread::currentThread());
    transport.wake();
    ASSERT_TRUE(transport.m_roundDone.wait(5000));
    for (int i = 0; i < 500 && transport.threadRunning(); ++i)
        QThread::msleep(10);
    EXPECT_FALSE(transport.threadRunning());
    EXPECT_EQ(transport.m_rounds, 2);
}

TEST(MIDIReaderThread, OneAtATimeAndStoppableWithoutStopMark) {
    WarningCapture warnings;
    CountingTransport transport; // never answers non-zero
    ASSERT_TRUE(transport.startPusherThread());
    EXPECT_FALSE(transport.startPusherThread());
    EXPECT_EQ(warnings.checks("MIDITransport"), QStringList{"m_pusherThread == NULL"});
    transport.stopPusherThread();
    EXPECT_FALSE(transport.threadRunning());
    EXPECT_TRUE(transport.startPusherThread());
}

} // namespace
