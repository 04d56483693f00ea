// The driver end to end on a real JACK server (the test fixture's jackd with the dummy driver):
// a test client passes what a Dorvo output sends straight back into a Dorvo input, so that
// every message crosses the JACK graph twice and comes out of the parser as events.
#include "DevicePortNumber.h"
#include "JackTestClient.h"
#include "RecordingSink.h"
#include "TWinMIDI.h"
#include "TWinMIDIPortAccessor.h"

#include <gtest/gtest.h>

#include <chrono>
#include <numeric>

namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<BYTE>;

// A system-exclusive body of `length` data bytes after the 0xF0, ending with 0xF7.
Bytes sysexBody(std::size_t length, BYTE seed) {
    Bytes body(length);
    for (std::size_t i = 0; i + 1 < length; ++i)
        body[i] = BYTE((seed + i * 7) & 0x7F);
    body.back() = 0xF7;
    return body;
}

class WinMIDIJackTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_thru.isOpen()) << "no JACK server; run under the CTest fixture";
        inPort = portNumberOf(TMIDIPortAccessor::kInput, m_thru.outPortName());
        outPort = portNumberOf(TMIDIPortAccessor::kOutput, m_thru.inPortName());
        ASSERT_GT(inPort, 0);
        ASSERT_GT(outPort, 0);
        ASSERT_TRUE(input.openInput(inPort, &sink));
    }

    dorvo2test::JackTestClient m_thru{"dorvo-driver-thru"};
    RecordingSink sink;
    TWinMIDI input;
    int inPort = 0;
    int outPort = 0;
};

TEST_F(WinMIDIJackTest, NotesAndLongSysexSentThroughTheDriverArriveWholeAndInOrder) {
    m_thru.passThrough(true);
    TWinMIDI output;
    ASSERT_TRUE(output.openOutput(outPort));

    const BYTE noteOn[] = {0x3C, 0x64};
    const BYTE noteOn2[] = {0x40, 0x20};
    const Bytes tenThousand = sysexBody(10000, 3);
    const Bytes twoHundredKiB = sysexBody(200 * 1024, 11);
    ASSERT_TRUE(output.send(2, noteOn, 0x90));
    ASSERT_TRUE(output.send(int(tenThousand.size()), tenThousand.data(), 0xF0));
    ASSERT_TRUE(output.send(2, noteOn2, 0x93));
    ASSERT_TRUE(output.send(int(twoHundredKiB.size()), twoHundredKiB.data(), 0xF0));

    ASSERT_TRUE(sink.waitForEvents(4, 60s)) << sink.events().size() << " events arrived";
    const auto events = sink.events();
    ASSERT_EQ(4u, events.size());
    EXPECT_EQ(MPEVENT_NOTEON, events[0].type);
    EXPECT_EQ(0u, events[0].channel);
    EXPECT_EQ((Bytes{0x3C, 0x64, 0, 0}), events[0].bytes);
    EXPECT_EQ(MPEVENT_SYSEX, events[1].type);
    EXPECT_EQ(tenThousand, events[1].bytes);
    EXPECT_EQ(MPEVENT_NOTEON, events[2].type);
    EXPECT_EQ(3u, events[2].channel);
    EXPECT_EQ(MPEVENT_SYSEX, events[3].type);
    EXPECT_EQ(twoHundredKiB.size(), events[3].bytes.size());
    EXPECT_EQ(twoHundredKiB, events[3].bytes);
}

TEST_F(WinMIDIJackTest, MegabyteSysexPlayedByAnotherClientPeriodByPeriodArrivesAsOneEvent) {
    Bytes message{0xF0};
    const Bytes body = sysexBody(1024 * 1024 - 1, 5);
    message.insert(message.end(), body.begin(), body.end());
    m_thru.play(message, 4096);

    ASSERT_TRUE(sink.waitForEvents(1, 120s)) << "played " << m_thru.played();
    const auto events = sink.events();
    ASSERT_EQ(1u, events.size());
    EXPECT_EQ(MPEVENT_SYSEX, events[0].type);
    EXPECT_EQ(body.size(), events[0].dataLength);
    EXPECT_EQ(body, events[0].bytes);
    EXPECT_GT(m_thru.periodsPlaying(), 100u) << "it was not played across periods";
}

} // namespace
