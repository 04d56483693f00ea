// The receive parser: raw chunks and packets in, MPEVENT records out.
#include "RecordingSink.h"
#include "TAutoResetEvent.h"
#include "TMIDIEventPushThread.h"
#include "TMIDITransport.h"
#include "WarningCapture.h"

#include <QThread>
#include <atomic>
#include <gtest/gtest.h>
#include <vector>

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

    void feed(const Bytes& chunk) { processInput(static_cast<int>(chunk.size()), chunk.data()); }
};

class MIDIParserTest : public testing::Test {
protected:
    RecordingSink sink;
    ParserUnderTest parser{&sink};
    WarningCapture warnings;

    void feed(const Bytes& chunk) { parser.feed(chunk); }
    std::vector<ReceivedEvent> events() const { return sink.events(); }
};

// ---- Short messages: one 4-byte packet each ---------------------------------------------------

TEST_F(MIDIParserTest, ShortPacketsGiveOneEventOfTheirKind) {
    feed({0x90, 0x3C, 0x40, 0x00});
    feed({0xC5, 0x10, 0x00, 0x00});
    const auto received = events();
    ASSERT_EQ(received.size(), 2u);
    EXPECT_EQ(received[0].type, MPEVENT_NOTEON);
    EXPECT_EQ(received[0].channel, 0u);
    EXPECT_EQ(received[0].dataLength, 0u);
    EXPECT_EQ(received[0].bytes, (Bytes{0x3C, 0x40, 0x00, 0x00}));
    EXPECT_EQ(received[1].type, MPEVENT_PROGRAMCHANGE);
    EXPECT_EQ(received[1].channel, 5u);
    EXPECT_EQ(received[1].bytes, (Bytes{0x10, 0x00, 0x00, 0x00}));
}

TEST_F(MIDIParserTest, EveryChannelStatusMapsToItsKindAndLength) {
    // The third byte of a 2-byte message is padding and must not leak into data[1].
    feed({0x81, 1, 2,    0, 0x92, 3, 4,    0,  0xA3, 5, 6,    0,  0xB4, 7,
          8,    0, 0xC6, 9, 10,   0, 0xD7, 11, 12,   0, 0xEF, 13, 14,   0});
    const auto received = events();
    ASSERT_EQ(received.size(), 7u);
    const DWORD kinds[] = {MPEVENT_NOTEOFF,       MPEVENT_NOTEON,        MPEVENT_POLYPRESSURE,
                           MPEVENT_CONTROLCHANGE, MPEVENT_PROGRAMCHANGE, MPEVENT_CHANNELPRESSURE,
                           MPEVENT_PITCHBEND};
    const DWORD channels[] = {1, 2, 3, 4, 6, 7, 15};
    const Bytes data[] = {{1, 2, 0, 0}, {3, 4, 0, 0},  {5, 6, 0, 0},  {7, 8, 0, 0},
                          {9, 0, 0, 0}, {11, 0, 0, 0}, {13, 14, 0, 0}};
    for (size_t i = 0; i < received.size(); ++i) {
        EXPECT_EQ(received[i].type, kinds[i]) << i;
        EXPECT_EQ(received[i].channel, channels[i]) << i;
        EXPECT_EQ(received[i].bytes, data[i]) << i;
    }
}

TEST_F(MIDIParserTest, ShortPacketCutOffAtTheEndIsDroppedWithoutReadingBeyond) {
    feed({0x90, 0x3C});
    feed({0xC5});
    feed({0xB0, 0x07});
    EXPECT_TRUE(events().empty());
    // Long enough for its message though shorter than a packet: delivered, and no complaint.
    feed({0x90, 0x3C, 0x40});
    ASSERT_EQ(events().size(), 1u);
    EXPECT_EQ(events()[0].bytes, (Bytes{0x3C, 0x40, 0, 0}));
    // The next chunk starts afresh.
    feed({0x80, 0x3C, 0x00, 0x00});
    EXPECT_EQ(events().size(), 2u);
    EXPECT_TRUE(warnings.checks("MIDITransport").isEmpty());
}

// ---- Stray bytes ------------------------------------------------------------------------------

TEST_F(MIDIParserTest, StrayDataAndSystemBytesAreSkipped) {
    // Running status is not supported: the data bytes after the first packet are noise.
    feed({0x3C, 0x40, 0x41, 0x90, 0x3C, 0x40, 0x00, 0x3D, 0x40});
    feed({0xF1, 0xF2, 0xF3, 0xF6, 0xF8, 0xFA, 0xFE, 0xFF, 0xB0, 0x07, 0x64, 0x00});
    const auto received = events();
    ASSERT_EQ(received.size(), 2u);
    EXPECT_EQ(received[0].type, MPEVENT_NOTEON);
    EXPECT_EQ(received[1].type, MPEVENT_CONTROLCHANGE);
    EXPECT_EQ(received[1].bytes, (Bytes{0x07, 0x64, 0, 0}));
}

// ---- System exclusive -------------------------------------------------------------------------

TEST_F(MIDIParserTest, SysexInOneChunkIsHandedOnWhereItLies) {
    const Bytes chunk{0xF0, 0x43, 0x10, 0xF7};
    feed(chunk);
    const Bytes continuation{0xF7, 0x01, 0x02, 0xF7};
    feed(continuation);
    const auto received = events();
    ASSERT_EQ(received.size(), 2u);
    EXPECT_EQ(received[0].type, MPEVENT_SYSEX);
    EXPECT_EQ(received[0].channel, 0u);
    EXPECT_EQ(received[0].dataLength, 3u);
    EXPECT_EQ(received[0].bytes, (Bytes{0x43, 0x10, 0xF7}));
    EXPECT_EQ(received[0].longData, chunk.data() + 1);
    EXPECT_EQ(received[1].type, MPEVENT_SYSEXCONTINUATION);
    EXPECT_EQ(received[1].bytes, (Bytes{0x01, 0x02, 0xF7}));
}

TEST_F(MIDIParserTest, SysexChunkIsTakenWholeWhateverItsBytes) {
    feed({0xF0, 0x43, 0x90, 0x3C, 0xF7});
    feed({0xF0, 0x01, 0xF8, 0x80, 0x02});
    feed({0x03, 0xF7});
    const auto received = events();
    ASSERT_EQ(received.size(), 2u);
    EXPECT_EQ(received[0].type, MPEVENT_SYSEX);
    EXPECT_EQ(received[0].bytes, (Bytes{0x43, 0x90, 0x3C, 0xF7}));
    EXPECT_EQ(received[1].bytes, (Bytes{0x01, 0xF8, 0x80, 0x02, 0x03, 0xF7}));
}

TEST_F(MIDIParserTest, SysexAcrossChunksIsDeliveredOnceComplete) {
    const Bytes last{0x10, 0xF7};
    feed({0xF0, 0x43});
    EXPECT_TRUE(events().empty());
    feed({0x11, 0x12});
    EXPECT_TRUE(events().empty());
    feed(last);
    const auto received = events();
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].type, MPEVENT_SYSEX);
    EXPECT_EQ(received[0].dataLength, 5u);
    EXPECT_EQ(received[0].bytes, (Bytes{0x43, 0x11, 0x12, 0x10, 0xF7}));
    EXPECT_NE(received[0].longData, last.data() + 1);
    // Idle again: a packet after it is a packet.
    feed({0x90, 0x3C, 0x40, 0x00});
    ASSERT_EQ(events().size(), 2u);
    EXPECT_EQ(events()[1].type, MPEVENT_NOTEON);
    EXPECT_TRUE(warnings.checks("MIDITransport").isEmpty());
}

TEST_F(MIDIParserTest, StartByteAloneBeginsABufferedMessage) {
    feed({0xF0});
    feed({0x43, 0xF7});
    feed({0xF7});
    const auto received = events();
    ASSERT_EQ(received.size(), 2u);
    EXPECT_EQ(received[0].bytes, (Bytes{0x43, 0xF7}));
    // A lone closing byte is a continuation message with nothing but its end.
    EXPECT_EQ(received[1].type, MPEVENT_SYSEXCONTINUATION);
    EXPECT_EQ(received[1].dataLength, 0u);
}

TEST_F(MIDIParserTest, RealTimeBytesBetweenSysexChunksAreDropped) {
    feed({0xF0, 0x43});
    feed({0xF8, 0x10, 0xF7});
    feed({0xF0, 0x44});
    feed({0xFE, 0xFF, 0xF8});
    feed({0xF7});
    const auto received = events();
    ASSERT_EQ(received.size(), 2u);
    EXPECT_EQ(received[0].bytes, (Bytes{0x43, 0x10, 0xF7}));
    EXPECT_EQ(received[1].bytes, (Bytes{0x44, 0xF7}));
}

TEST_F(MIDIParserTest, StatusByteCompletesAnOpenSysexFirst) {
    feed({0xF0, 0x43});
    feed({0x90, 0x3C, 0x40, 0x00});
    feed({0xF0, 0x44});
    feed({0xF7, 0xC1, 0x05, 0x00, 0x00}); // the closing byte itself is used up, not doubled
    feed({0xF0, 0x45});
    feed({0xF3, 0x01}); // a system common byte ends it too, and is then ignored
    const auto received = events();
    ASSERT_EQ(received.size(), 5u);
    EXPECT_EQ(received[0].type, MPEVENT_SYSEX);
    EXPECT_EQ(received[0].bytes, (Bytes{0x43, 0xF7}));
    EXPECT_EQ(received[1].type, MPEVENT_NOTEON);
    EXPECT_EQ(received[1].bytes, (Bytes{0x3C, 0x40, 0, 0}));
    EXPECT_EQ(received[2].bytes, (Bytes{0x44, 0xF7}));
    EXPECT_EQ(received[3].type, MPEVENT_PROGRAMCHANGE);
    EXPECT_EQ(received[3].channel, 1u);
    EXPECT_EQ(received[4].bytes, (Bytes{0x45, 0xF7}));
    EXPECT_TRUE(warnings.checks("MIDITransport").isEmpty());
}

TEST_F(MIDIParserTest, ContinuationStartedWithClosingByteKeepsItsKindWhenBuffered) {
    feed({0xF7, 0x01});
    feed({0x02, 0xF7});
    const auto received = events();
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].type, MPEVENT_SYSEXCONTINUATION);
    EXPECT_EQ(received[0].bytes, (Bytes{0x01, 0x02, 0xF7}));
}

TEST(MIDIParserLifetime, UnfinishedSysexIsFreedWithTheTransport) {
    // Under the address sanitizer a leaked buffer fails this test at exit.
    RecordingSink sink;
    {
        ParserUnderTest parser(&sink);
        parser.feed({0xF0, 0x43, 0x10});
        parser.feed(Bytes(5000, 0x11));
    }
    EXPECT_TRUE(sink.events().empty());
}

TEST(MIDIParserLifetime, NoSinkIsNoCrash) {
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

TEST(MIDIReaderThread, ProcessesOnItsOwnThreadOncePerWake) {
    CountingTransport transport;
    ASSERT_TRUE(transport.startPusherThread());
    EXPECT_EQ(transport.m_rounds, 0);
    transport.wake();
    ASSERT_TRUE(transport.m_roundDone.wait(5000));
    transport.wake();
    ASSERT_TRUE(transport.m_roundDone.wait(5000));
    EXPECT_EQ(transport.m_rounds, 2);
    EXPECT_NE(transport.m_readerThread.load(), QThread::currentThread());
    EXPECT_NE(transport.m_readerThread.load(), nullptr);
}

TEST(MIDIReaderThread, SecondStartIsRefusedWithACheck) {
    WarningCapture warnings;
    CountingTransport transport;
    ASSERT_TRUE(transport.startPusherThread());
    EXPECT_FALSE(transport.startPusherThread());
    EXPECT_EQ(warnings.checks("MIDITransport"), QStringList{"m_pusherThread == NULL"});
    transport.stopPusherThread();
    EXPECT_FALSE(transport.threadRunning());
    // Stopped cleanly, it can be started again.
    EXPECT_TRUE(transport.startPusherThread());
}

TEST(MIDIReaderThread, EndsWhenProcessingSaysSo) {
    CountingTransport transport(2);
    ASSERT_TRUE(transport.startPusherThread());
    transport.wake();
    ASSERT_TRUE(transport.m_roundDone.wait(5000));
    transport.wake();
    ASSERT_TRUE(transport.m_roundDone.wait(5000));
    for (int i = 0; i < 500 && transport.threadRunning(); ++i)
        QThread::msleep(10);
    EXPECT_FALSE(transport.threadRunning());
    transport.stopPusherThread();
}

TEST(MIDIReaderThread, StopWithoutStopMarkDoesNotHang) {
    // A transport that never answers non-zero must still be stoppable (and destructible).
    CountingTransport transport;
    ASSERT_TRUE(transport.startPusherThread());
    transport.stopPusherThread();
    EXPECT_FALSE(transport.threadRunning());
    EXPECT_GE(transport.m_rounds, 1);
}

} // namespace
