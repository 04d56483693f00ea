// The JACK backend against a real server (the fixture's jackd with the dummy driver): devices
// are the other clients' ports, and messages of every size get through the JACK graph whole.
#include "JackTestClient.h"
#include "MidiTestSupport.h"

#include <dorvo/mmsystem.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

using dorvo2test::InputBuffers;
using dorvo2test::inputNames;
using dorvo2test::JackTestClient;
using dorvo2test::MidiCallbackLog;
using dorvo2test::OutputBuffer;
using dorvo2test::outputNames;
using dorvo2test::sysex;
using dorvo2test::WarningCapture;
using namespace std::chrono_literals;

namespace {

std::vector<std::uint8_t> joinedLongData(const MidiCallbackLog& log) {
    std::vector<std::uint8_t> joined;
    for (const auto& entry : log.entries(MIM_LONGDATA))
        joined.insert(joined.end(), entry.bytes.begin(), entry.bytes.end());
    return joined;
}

std::size_t longDataBytes(const MidiCallbackLog& log) {
    std::size_t total = 0;
    for (const auto& entry : log.entries(MIM_LONGDATA))
        total += entry.bytes.size();
    return total;
}

class JackLayer : public dorvo2test::MidiLayerFixture {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_thru.isOpen()) << "no JACK server; run under the CTest fixture";
        m_thru.passThrough(true);
    }

    // The test's pass-through client: a Dorvo output into its "in" comes back out of its
    // "out" into a Dorvo input.
    JackTestClient m_thru{"dorvo-test-thru"};
};

} // namespace

TEST_F(JackLayer, DevicesAreTheOtherClientsPortsByFullName) {
    const auto inputs = inputNames();
    const auto outputs = outputNames();
    EXPECT_NE(inputs.end(), std::find(inputs.begin(), inputs.end(), m_thru.outPortName()));
    EXPECT_NE(outputs.end(), std::find(outputs.begin(), outputs.end(), m_thru.inPortName()));
    EXPECT_EQ(inputs.end(), std::find(inputs.begin(), inputs.end(), m_thru.inPortName()))
        << "an input port of another client is no input device";

    // Our own ports, made by opening devices, are never listed.
    MidiCallbackLog& log = newLog();
    openInput(m_thru.outPortName(), log);
    openOutput(m_thru.inPortName(), log);
    for (const auto& name : inputNames())
        EXPECT_NE(0u, name.rfind("Dorvo:", 0) == 0 ? 0u : 1u) << name;
    for (const auto& name : outputNames())
        EXPECT_NE(0u, name.rfind("Dorvo:", 0) == 0 ? 0u : 1u) << name;
    EXPECT_EQ(inputs, inputNames());
}

TEST_F(JackLayer, ShortMessagesGoThroughTheGraphInOrder) {
    MidiCallbackLog& inLog = newLog();
    MidiCallbackLog& outLog = newLog();
    HMIDIIN in = openInput(m_thru.outPortName(), inLog);
    HMIDIOUT out = openOutput(m_thru.inPortName(), outLog);
    ASSERT_EQ(MMSYSERR_NOERROR, midiInStart(in));
    const DWORD messages[] = {0x00403C90, 0x00000745, 0x00007FB0, 0x000012C1,
                              0x00402080, 0x000000F8, 0x00003C90};
    for (DWORD message : messages)
        ASSERT_EQ(MMSYSERR_NOERROR, midiOutShortMsg(out, message));
    ASSERT_TRUE(inLog.waitFor(MIM_DATA, std::size(messages)));
    const auto data = inLog.entries(MIM_DATA);
    ASSERT_EQ(std::size(messages), data.size());
    // The second message uses running status: it leaves as a full note-on.
    const DWORD expected[] = {0x00403C90, 0x00074590, 0x00007FB0, 0x000012C1,
                              0x00402080, 0x000000F8, 0x00003C90};
    for (std::size_t i = 0; i < data.size(); ++i) {
        EXPECT_EQ(expected[i], data[i].param1) << i;
        EXPECT_NE(std::this_thread::get_id(), data[i].thread);
    }
}

TEST_F(JackLayer, LongSysexMessagesArriveCompleteAndInOrder) {
    MidiCallbackLog& inLog = newLog();
    MidiCallbackLog& outLog = newLog();
    HMIDIIN in = openInput(m_thru.outPortName(), inLog);
    HMIDIOUT out = openOutput(m_thru.inPortName(), outLog);
    InputBuffers& buffers = newBuffers(64, 4096);
    buffers.queue(in);
    ASSERT_EQ(MMSYSERR_NOERROR, midiInStart(in));

    OutputBuffer small(sysex(10000, 1));
    OutputBuffer large(sysex(200 * 1024, 2));
    for (auto* message : {&small, &large}) {
        ASSERT_EQ(MMSYSERR_NOERROR, midiOutPrepareHeader(out, &message->header, sizeof(MIDIHDR)));
        ASSERT_EQ(MMSYSERR_NOERROR, midiOutLongMsg(out, &message->header, sizeof(MIDIHDR)));
    }
    ASSERT_TRUE(outLog.waitFor(MOM_DONE, 2));
    EXPECT_TRUE(small.header.dwFlags & MHDR_DONE);
    EXPECT_TRUE(large.header.dwFlags & MHDR_DONE);

    const std::size_t total = small.bytes.size() + large.bytes.size();
    ASSERT_TRUE(inLog.waitUntil([&] { return longDataBytes(inLog) >= total; }))
        << longDataBytes(inLog) << " of " << total << " bytes arrived";
    std::vector<std::uint8_t> expected = small.bytes;
    expected.insert(expected.end(), large.bytes.begin(), large.bytes.end());
    EXPECT_TRUE(joinedLongData(inLog) == expected) << "bytes lost, changed or reordered";
    // Each message starts a buffer of its own: 10000 bytes fill 3 buffers, the rest the others.
    const auto returned = inLog.entries(MIM_LONGDATA);
    ASSERT_GE(returned.size(), 3u);
    EXPECT_EQ(1808u, returned[2].bytes.size());
    EXPECT_EQ(0xF0, returned[3].bytes.front());
    EXPECT_TRUE(inLog.entries(MIM_LONGERROR).empty());
}

TEST_F(JackLayer, MegabyteSysexLeavesInPiecesAcrossPeriodsAndArrivesComplete) {
    MidiCallbackLog& inLog = newLog();
    MidiCallbackLog& outLog = newLog();
    HMIDIIN in = openInput(m_thru.outPortName(), inLog);
    HMIDIOUT out = openOutput(m_thru.inPortName(), outLog);
    InputBuffers& buffers = newBuffers(260, 4096);
    buffers.queue(in);
    ASSERT_EQ(MMSYSERR_NOERROR, midiInStart(in));

    // Far more than one period's port buffer holds.
    OutputBuffer message(sysex(1024 * 1024, 4));
    ASSERT_EQ(MMSYSERR_NOERROR, midiOutPrepareHeader(out, &message.header, sizeof(MIDIHDR)));
    ASSERT_EQ(MMSYSERR_NOERROR, midiOutLongMsg(out, &message.header, sizeof(MIDIHDR)));
    ASSERT_TRUE(outLog.waitFor(MOM_DONE, 1));
    ASSERT_TRUE(inLog.waitUntil([&] { return longDataBytes(inLog) >= message.bytes.size(); }))
        << longDataBytes(inLog) << " of " << message.bytes.size() << " bytes arrived";
    EXPECT_TRUE(joinedLongData(inLog) == message.bytes) << "bytes lost, changed or reordered";
}

TEST_F(JackLayer, MegabyteSysexPlayedInPiecesArrivesComplete) {
    JackTestClient player("dorvo-test-player");
    ASSERT_TRUE(player.isOpen());
    MidiCallbackLog& log = newLog();
    HMIDIIN in = openInput(player.outPortName(), log);
    InputBuffers& buffers = newBuffers(260, 4096);
    buffers.queue(in);
    ASSERT_EQ(MMSYSERR_NOERROR, midiInStart(in));

    const auto message = sysex(1024 * 1024, 3);
    player.play(message, 8000);
    ASSERT_TRUE(log.waitUntil([&] { return longDataBytes(log) >= message.size(); }))
        << longDataBytes(log) << " of " << message.size() << " bytes arrived";
    EXPECT_GT(player.periodsPlaying(), 100u) << "it was not played across periods";
    EXPECT_TRUE(joinedLongData(log) == message) << "bytes lost, changed or reordered";
    EXPECT_EQ(256u, log.entries(MIM_LONGDATA).size()) << "1 MiB fills 256 buffers exactly";
}

TEST_F(JackLayer, APortThatGoesAwayMakesItsDevicesFailCleanly) {
    JackTestClient gadget("dorvo-test-gadget");
    ASSERT_TRUE(gadget.isOpen());
    const std::string source = gadget.outPortName();
    const std::string destination = gadget.inPortName();
    WarningCapture warnings;
    MidiCallbackLog& log = newLog();
    HMIDIIN in = openInput(source, log);
    HMIDIOUT out = openOutput(destination, log);
    ASSERT_EQ(MMSYSERR_NOERROR, midiOutShortMsg(out, 0x403C90));

    gadget.close();
    EXPECT_TRUE(log.waitUntil([&] { return midiOutShortMsg(out, 0x403C90) == MIDIERR_NODEVICE; }));
    EXPECT_TRUE(log.waitUntil([&] { return midiInStart(in) == MMSYSERR_NODRIVER; }));
    const auto inputs = inputNames();
    EXPECT_EQ(inputs.end(), std::find(inputs.begin(), inputs.end(), source));
    EXPECT_EQ(1, warnings.count("MIDI input \"" + source + "\""));
    EXPECT_EQ(1, warnings.count("MIDI output \"" + destination + "\""));
}
