// The multimedia MIDI functions over the virtual devices: handle and buffer behaviour that the
// MIDI driver relies on, device listing, removal while open.
#include "MidiTestSupport.h"

#include <dorvo/mmsystem.h>
#include <dorvo/virtualmidi.h>

#include <QString>
#include <QtGlobal>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <list>
#include <numeric>
#include <string>
#include <thread>
#include <vector>

using dorvo2test::InputBuffers;
using dorvo2test::inputNames;
using dorvo2test::MidiCallbackLog;
using dorvo2test::OutputBuffer;
using dorvo2test::outputNames;
using dorvo2test::sysex;
using dorvo2test::WarningCapture;
namespace vm = dorvo::virtualmidi;
using namespace std::chrono_literals;

namespace {

constexpr const char* kLoop1 = "Dorvo Loopback 1";
constexpr const char* kLoop2 = "Dorvo Loopback 2";
constexpr const char* kSynth = vm::kDemoSynthName;

class VirtualLayer : public dorvo2test::MidiLayerFixture {
protected:
    void SetUp() override { vm::reset(); }
    void TearDown() override {
        MidiLayerFixture::TearDown();
        vm::reset();
    }
};

class EchoDevice : public vm::SimulatedDevice {
public:
    void receive(const vm::SentMessage& message, vm::DevicePort& port) override {
        received.fetch_add(1);
        // Answers a note with the same note one octave up.
        if (message.bytes.size() == 3 && (message.bytes[0] & 0xF0) == 0x90) {
            const std::uint8_t answer[3] = {message.bytes[0], std::uint8_t(message.bytes[1] + 12),
                                            message.bytes[2]};
            port.emitBytes(answer, 3);
        }
    }
    std::atomic<int> received{0};
};

} // namespace

TEST_F(VirtualLayer, ListsLoopbacksAndAddedDevicesInBothDirectionsInOrder) {
    EXPECT_EQ((std::vector<std::string>{kLoop1, kLoop2, kSynth}), inputNames());
    EXPECT_EQ((std::vector<std::string>{kLoop1, kLoop2, kSynth}), outputNames());

    vm::addDevice("Synth A", std::make_shared<EchoDevice>());
    vm::addLoopback("Loop C");
    EXPECT_EQ((std::vector<std::string>{kLoop1, kLoop2, kSynth, "Synth A", "Loop C"}),
              inputNames());
    EXPECT_EQ((std::vector<std::string>{kLoop1, kLoop2, kSynth, "Synth A", "Loop C"}),
              outputNames());

    vm::removeDevice("Synth A");
    vm::removeDevice(kSynth);
    EXPECT_EQ((std::vector<std::string>{kLoop1, kLoop2, "Loop C"}), outputNames());
    vm::reset();
    EXPECT_EQ((std::vector<std::string>{kLoop1, kLoop2, kSynth}), inputNames());
}

TEST_F(VirtualLayer, LongNamesAreCutWithoutSplittingACharacter) {
    // 126 ASCII characters, then one outside the basic plane (a surrogate pair in UTF-16).
    const std::string name = std::string(126, 'x') + "\xF0\x9F\x8E\xB9" + "tail";
    vm::addLoopback(name);
    MIDIOUTCAPSW caps{};
    ASSERT_EQ(MMSYSERR_NOERROR, midiOutGetDevCapsW(3, &caps, sizeof caps));
    EXPECT_EQ(std::string(126, 'x'), QString::fromUtf16(caps.szPname).toStdString());
}

TEST_F(VirtualLayer, DeviceQueriesRejectBadArguments) {
    MIDIINCAPSW inCaps{};
    MIDIOUTCAPSW outCaps{};
    EXPECT_EQ(MMSYSERR_BADDEVICEID, midiInGetDevCapsW(3, &inCaps, sizeof inCaps));
    EXPECT_EQ(MMSYSERR_BADDEVICEID, midiOutGetDevCapsW(99, &outCaps, sizeof outCaps));
    EXPECT_EQ(MMSYSERR_INVALPARAM, midiInGetDevCapsW(0, nullptr, sizeof inCaps));
    EXPECT_EQ(MMSYSERR_INVALPARAM, midiOutGetDevCapsW(0, nullptr, sizeof outCaps));

    // A caller with a smaller structure gets only what fits.
    std::vector<std::uint8_t> shortCaps(8, 0xAA);
    ASSERT_EQ(MMSYSERR_NOERROR,
              midiOutGetDevCapsW(0, reinterpret_cast<MIDIOUTCAPSW*>(shortCaps.data()), 6));
    EXPECT_EQ(0xAA, shortCaps[6]);
}

TEST_F(VirtualLayer, ShortMessagesLoopBackOnALayerThreadWithTimestamps) {
    MidiCallbackLog& inLog = newLog();
    MidiCallbackLog& outLog = newLog();
    MidiCallbackLog& otherLog = newLog();
    HMIDIIN in = openInput(kLoop1, inLog);
    HMIDIIN other = openInput(kLoop2, otherLog);
    HMIDIOUT out = openOutput(kLoop1, outLog);
    ASSERT_TRUE(inLog.waitFor(MIM_OPEN, 1));
    ASSERT_TRUE(outLog.waitFor(MOM_OPEN, 1));
    ASSERT_EQ(MMSYSERR_NOERROR, midiInStart(in));
    ASSERT_EQ(MMSYSERR_NOERROR, midiInStart(other));
    const DWORD before = timeGetTime();
    std::this_thread::sleep_for(30ms);

    EXPECT_EQ(MMSYSERR_NOERROR, midiOutShortMsg(out, 0x00403C90)); // note on
    EXPECT_EQ(MMSYSERR_NOERROR, midiOutShortMsg(out, 0x000005C3)); // program change, 2 bytes
    EXPECT_EQ(MMSYSERR_NOERROR, midiOutShortMsg(out, 0x000000F8)); // clock
    ASSERT_TRUE(inLog.waitFor(MIM_DATA, 3));

    const auto data = inLog.entries(MIM_DATA);
    EXPECT_EQ(0x00403C90u, data[0].param1);
    EXPECT_EQ(0x000005C3u, data[1].param1);
    EXPECT_EQ(0x000000F8u, data[2].param1);
    for (const auto& entry : data) {
        EXPECT_NE(std::this_thread::get_id(), entry.thread);
        EXPECT_GE(entry.param2, 30u); // milliseconds since midiInStart
        EXPECT_LE(entry.param2, timeGetTime() - before);
    }
    EXPECT_TRUE(otherLog.entries(MIM_DATA).empty()) << "the other loopback heard it";

    const auto sent = vm::sentMessages(kLoop1);
    ASSERT_EQ(3u, sent.size());
    EXPECT_EQ((std::vector<std::uint8_t>{0x90, 0x3C, 0x40}), sent[0].bytes);
    EXPECT_EQ((std::vector<std::uint8_t>{0xC3, 0x05}), sent[1].bytes);
    EXPECT_FALSE(sent[0].longMessage);
}

TEST_F(VirtualLayer, InputIsDroppedUntilStartedAndAfterStop) {
    MidiCallbackLog& log = newLog();
    HMIDIIN in = openInput(kLoop1, log);
    vm::inject(kLoop1, {0x90, 0x01, 0x01});
    ASSERT_EQ(MMSYSERR_NOERROR, midiInStart(in));
    vm::inject(kLoop1, {0x90, 0x02, 0x02});
    ASSERT_EQ(MMSYSERR_NOERROR, midiInStop(in));
    vm::inject(kLoop1, {0x90, 0x03, 0x03});
    ASSERT_EQ(MMSYSERR_NOERROR, midiInStart(in));
    vm::inject(kLoop1, {0x90, 0x04, 0x04});
    ASSERT_TRUE(log.waitFor(MIM_DATA, 2));
    std::this_thread::sleep_for(50ms); // nothing else may follow
    const auto data = log.entries(MIM_DATA);
    ASSERT_EQ(2u, data.size());
    EXPECT_EQ(0x020290u, data[0].param1);
    EXPECT_EQ(0x040490u, data[1].param1);
}

TEST_F(VirtualLayer, OutputShortMessagesUseRunningStatusAndRefuseWhatIsNoMessage) {
    MidiCallbackLog& log = newLog();
    HMIDIOUT out = openOutput(kLoop2, log);
    EXPECT_EQ(MMSYSERR_INVALPARAM, midiOutShortMsg(out, 0x00003C)) << "no status yet";
    EXPECT_EQ(MMSYSERR_NOERROR, midiOutShortMsg(out, 0x00403C91));
    EXPECT_EQ(MMSYSERR_NOERROR, midiOutShortMsg(out, 0x00000040)) << "running status";
    EXPECT_EQ(MMSYSERR_INVALPARAM, midiOutShortMsg(out, 0x000000F0));
    EXPECT_EQ(MMSYSERR_INVALPARAM, midiOutShortMsg(out, 0x00003C90 | 0x800000))
        << "a data byte with the high bit";

    const auto sent = vm::sentMessages(kLoop2);
    ASSERT_EQ(2u, sent.size());
    EXPECT_EQ((std::vector<std::uint8_t>{0x91, 0x3C, 0x40}), sent[0].bytes);
    EXPECT_EQ((std::vector<std::uint8_t>{0x91, 0x40, 0x00}), sent[1].bytes);
}

TEST_F(VirtualLayer, LongSysexFillsBuffersInOrder) {
    MidiCallbackLog& log = newLog();
    HMIDIIN in = openInput(kLoop1, log);
    InputBuffers& buffers = newBuffers(4, 4096);
    buffers.queue(in);
    ASSERT_EQ(MMSYSERR_NOERROR, midiInStart(in));

    const auto message = sysex(10000);
    // Arriving in uneven pieces, as from a real device.
    vm::inject(kLoop1, {message.begin(), message.begin() + 1000});
    vm::inject(kLoop1, {message.begin() + 1000, message.begin() + 7001});
    vm::inject(kLoop1, {message.begin() + 7001, message.end()});
    ASSERT_TRUE(log.waitFor(MIM_LONGDATA, 3));

    const auto returned = log.entries(MIM_LONGDATA);
    ASSERT_EQ(3u, returned.size());
    EXPECT_EQ(buffers.header(0), returned[0].header);
    EXPECT_EQ(buffers.header(1), returned[1].header);
    EXPECT_EQ(buffers.header(2), returned[2].header);
    EXPECT_EQ(4096u, returned[0].bytes.size());
    EXPECT_EQ(4096u, returned[1].bytes.size());
    EXPECT_EQ(1808u, returned[2].bytes.size());
    std::vector<std::uint8_t> joined;
    for (const auto& entry : returned) {
        joined.insert(joined.end(), entry.bytes.begin(), entry.bytes.end());
        EXPECT_TRUE(entry.flags & MHDR_DONE);
        EXPECT_FALSE(entry.flags & MHDR_INQUEUE);
        EXPECT_NE(std::this_thread::get_id(), entry.thread);
    }
    EXPECT_EQ(message, joined);
    EXPECT_TRUE(buffers.header(3)->dwFlags & MHDR_INQUEUE) << "the fourth buffer stays queued";

    // The next message starts in a buffer of its own.
    vm::inject(kLoop1, {0xF0, 0x43, 0xF7});
    ASSERT_TRUE(log.waitFor(MIM_LONGDATA, 4));
    EXPECT_EQ((std::vector<std::uint8_t>{0xF0, 0x43, 0xF7}), log.entries(MIM_LONGDATA)[3].bytes);
}

TEST_F(VirtualLayer, SysexEndingOnABufferBoundaryLeavesTheNextBufferQueued) {
    MidiCallbackLog& log = newLog();
    HMIDIIN in = openInput(kLoop1, log);
    InputBuffers& buffers = newBuffers(2, 16);
    buffers.queue(in);
    ASSERT_EQ(MMSYSERR_NOERROR, midiInStart(in));
    vm::inject(kLoop1, sysex(16));
    ASSERT_TRUE(log.waitFor(MIM_LONGDATA, 1));
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(1u, log.entries(MIM_LONGDATA).size());
    EXPECT_EQ(0u, buffers.header(1)->dwBytesRecorded);
    EXPECT_TRUE(buffers.header(1)->dwFlags & MHDR_INQUEUE);
}

TEST_F(VirtualLayer, RealTimeBytesInsideSysexArriveAsShortMessagesInOrder) {
    MidiCallbackLog& log = newLog();
    HMIDIIN in = openInput(kLoop1, log);
    InputBuffers& buffers = newBuffers(2, 64);
    buffers.queue(in);
    ASSERT_EQ(MMSYSERR_NOERROR, midiInStart(in));
    vm::inject(kLoop1, {0xF0, 0x43, 0xF8, 0x10, 0xFE, 0x20, 0xF7, 0x90, 0x3C, 0x40});
    ASSERT_TRUE(log.waitFor(MIM_DATA, 3));
    const auto entries = log.entries();
    std::vector<std::pair<UINT, DWORD_PTR>> seen;
    for (const auto& entry : entries) {
        if (entry.message != MIM_OPEN)
            seen.emplace_back(entry.message, entry.message == MIM_DATA ? entry.param1 : 0);
    }
    EXPECT_EQ((std::vector<std::pair<UINT, DWORD_PTR>>{
                  {MIM_DATA, 0xF8}, {MIM_DATA, 0xFE}, {MIM_LONGDATA, 0}, {MIM_DATA, 0x403C90}}),
              seen);
    EXPECT_EQ((std::vector<std::uint8_t>{0xF0, 0x43, 0x10, 0x20, 0xF7}),
              log.entries(MIM_LONGDATA)[0].bytes);
}

TEST_F(VirtualLayer, SysexWithoutABufferIsDroppedWholeAndTheNextOneArrives) {
    WarningCapture warnings;
    MidiCallbackLog& log = newLog();
    HMIDIIN in = openInput(kLoop1, log);
    InputBuffers& buffers = newBuffers(2, 8);
    ASSERT_EQ(MMSYSERR_NOERROR, midiInStart(in));
    vm::inject(kLoop1, {0xF0, 0x01, 0x02});
    // A buffer that comes in the middle of a lost message must not receive its tail.
    buffers.queue(in);
    vm::inject(kLoop1, {0x03, 0x04, 0xF7});
    vm::inject(kLoop1, {0xF0, 0x05, 0xF7});
    ASSERT_TRUE(log.waitFor(MIM_LONGDATA, 1));
    std::this_thread::sleep_for(50ms);
    const auto returned = log.entries(MIM_LONGDATA);
    ASSERT_EQ(1u, returned.size());
    EXPECT_EQ((std::vector<std::uint8_t>{0xF0, 0x05, 0xF7}), returned[0].bytes);
    EXPECT_FALSE(warnings.warnings().empty());
}

TEST_F(VirtualLayer, InterruptedSysexReturnsItsBufferAsAnErrorAndBadBytesAsErrors) {
    MidiCallbackLog& log = newLog();
    HMIDIIN in = openInput(kLoop1, log);
    InputBuffers& buffers = newBuffers(2, 64);
    buffers.queue(in);
    ASSERT_EQ(MMSYSERR_NOERROR, midiInStart(in));
    vm::inject(kLoop1, {0xF0, 0x43, 0x12, 0x90, 0x3C, 0x40, 0x11, 0x22, 0x33});
    ASSERT_TRUE(log.waitFor(MIM_LONGERROR, 1));
    ASSERT_TRUE(log.waitFor(MIM_DATA, 1));
    EXPECT_EQ((std::vector<std::uint8_t>{0xF0, 0x43, 0x12}), log.entries(MIM_LONGERROR)[0].bytes);
    EXPECT_EQ(0x403C90u, log.entries(MIM_DATA)[0].param1);
    // Running status turns 11 22 into a second note; 33 alone is incomplete and waits.
    ASSERT_TRUE(log.waitFor(MIM_DATA, 2));
    EXPECT_EQ(0x221190u, log.entries(MIM_DATA)[1].param1);

    vm::inject(kLoop1, {0xF7, 0x80});
    ASSERT_TRUE(log.waitFor(MIM_ERROR, 2));
    EXPECT_EQ(0x3390u, log.entries(MIM_ERROR)[0].param1) << "the note cut short by F7";
    EXPECT_EQ(0xF7u, log.entries(MIM_ERROR)[1].param1) << "an end with nothing to end";
}

TEST_F(VirtualLayer, ResetHandsBackEveryQueuedBufferBeforeItReturns) {
    MidiCallbackLog& log = newLog();
    HMIDIIN in = openInput(kLoop1, log);
    InputBuffers& buffers = newBuffers(5, 32);
    buffers.queue(in);
    ASSERT_EQ(MMSYSERR_NOERROR, midiInStart(in));
    vm::inject(kLoop1, {0xF0, 0x01, 0x02}); // under way in the first buffer

    EXPECT_EQ(MIDIERR_STILLPLAYING, midiInClose(in)) << "buffers are still queued";
    ASSERT_EQ(MMSYSERR_NOERROR, midiInReset(in));
    const auto returned = log.entries(MIM_LONGDATA);
    ASSERT_EQ(5u, returned.size()) << "every buffer reported before midiInReset returned";
    EXPECT_EQ(3u, returned[0].bytes.size()) << "the partly filled buffer keeps its bytes";
    for (std::size_t i = 0; i < returned.size(); ++i) {
        EXPECT_EQ(buffers.header(i), returned[i].header);
        if (i > 0) {
            EXPECT_EQ(0u, returned[i].bytes.size());
        }
        EXPECT_TRUE(returned[i].flags & MHDR_DONE);
        EXPECT_FALSE(buffers.header(i)->dwFlags & MHDR_INQUEUE);
    }
    buffers.unprepare(in);
    EXPECT_EQ(MMSYSERR_NOERROR, midiInClose(in));
    forget(in);
    ASSERT_TRUE(log.waitFor(MIM_CLOSE, 1));
}

TEST_F(VirtualLayer, BufferRulesForQueuedAndUnpreparedHeaders) {
    MidiCallbackLog& log = newLog();
    HMIDIIN in = openInput(kLoop1, log);
    std::vector<char> data(16);
    MIDIHDR header{};
    header.lpData = data.data();
    header.dwBufferLength = DWORD(data.size());

    EXPECT_EQ(MIDIERR_UNPREPARED, midiInAddBuffer(in, &header, sizeof header));
    EXPECT_EQ(MMSYSERR_INVALPARAM, midiInPrepareHeader(in, nullptr, sizeof header));
    EXPECT_EQ(MMSYSERR_INVALPARAM, midiInPrepareHeader(in, &header, 4));
    ASSERT_EQ(MMSYSERR_NOERROR, midiInPrepareHeader(in, &header, sizeof header));
    EXPECT_TRUE(header.dwFlags & MHDR_PREPARED);
    ASSERT_EQ(MMSYSERR_NOERROR, midiInAddBuffer(in, &header, sizeof header));
    EXPECT_EQ(MIDIERR_STILLPLAYING, midiInAddBuffer(in, &header, sizeof header));
    EXPECT_EQ(MIDIERR_STILLPLAYING, midiInUnprepareHeader(in, &header, sizeof header));
    ASSERT_EQ(MMSYSERR_NOERROR, midiInReset(in));
    EXPECT_EQ(MMSYSERR_NOERROR, midiInUnprepareHeader(in, &header, sizeof header));
    EXPECT_FALSE(header.dwFlags & MHDR_PREPARED);

    MIDIHDR empty{};
    empty.lpData = data.data();
    ASSERT_EQ(MMSYSERR_NOERROR, midiInPrepareHeader(in, &empty, sizeof empty));
    EXPECT_EQ(MMSYSERR_INVALPARAM, midiInAddBuffer(in, &empty, sizeof empty)) << "no room";
}

TEST_F(VirtualLayer, LongMessageIsSentInTheBackgroundAndReportedDone) {
    MidiCallbackLog& inLog = newLog();
    MidiCallbackLog& outLog = newLog();
    HMIDIIN in = openInput(kLoop2, inLog);
    HMIDIOUT out = openOutput(kLoop2, outLog);
    InputBuffers& buffers = newBuffers(2, 4096);
    buffers.queue(in);
    ASSERT_EQ(MMSYSERR_NOERROR, midiInStart(in));

    OutputBuffer message(sysex(300, 5));
    EXPECT_EQ(MIDIERR_UNPREPARED, midiOutLongMsg(out, &message.header, sizeof message.header));
    ASSERT_EQ(MMSYSERR_NOERROR, midiOutPrepareHeader(out, &message.header, sizeof message.header));
    ASSERT_EQ(MMSYSERR_NOERROR, midiOutLongMsg(out, &message.header, sizeof message.header));
    ASSERT_TRUE(outLog.waitFor(MOM_DONE, 1));
    const auto done = outLog.entries(MOM_DONE)[0];
    EXPECT_EQ(&message.header, done.header);
    EXPECT_TRUE(done.flags & MHDR_DONE);
    EXPECT_FALSE(done.flags & MHDR_INQUEUE);
    EXPECT_NE(std::this_thread::get_id(), done.thread);
    EXPECT_EQ(MMSYSERR_NOERROR,
              midiOutUnprepareHeader(out, &message.header, sizeof message.header));

    ASSERT_TRUE(inLog.waitFor(MIM_LONGDATA, 1));
    EXPECT_EQ(message.bytes, inLog.entries(MIM_LONGDATA)[0].bytes);
    const auto sent = vm::sentMessages(kLoop2);
    ASSERT_EQ(1u, sent.size());
    EXPECT_TRUE(sent[0].longMessage);
    EXPECT_EQ(message.bytes, sent[0].bytes);
}

TEST_F(VirtualLayer, SlowDeviceKeepsEveryOutputBufferInFlightUntilReset) {
    vm::setLongMessageDuration(kLoop1, 60s);
    MidiCallbackLog& log = newLog();
    HMIDIOUT out = openOutput(kLoop1, log);
    std::vector<OutputBuffer> buffers;
    for (int i = 0; i < 8; ++i)
        buffers.emplace_back(sysex(100, std::uint8_t(i)));
    for (auto& buffer : buffers) {
        ASSERT_EQ(MMSYSERR_NOERROR,
                  midiOutPrepareHeader(out, &buffer.header, sizeof buffer.header));
        ASSERT_EQ(MMSYSERR_NOERROR, midiOutLongMsg(out, &buffer.header, sizeof buffer.header));
    }
    std::this_thread::sleep_for(50ms);
    for (auto& buffer : buffers) {
        EXPECT_TRUE(buffer.header.dwFlags & MHDR_INQUEUE);
        EXPECT_FALSE(buffer.header.dwFlags & MHDR_DONE);
    }
    EXPECT_EQ(MIDIERR_STILLPLAYING,
              midiOutUnprepareHeader(out, &buffers[0].header, sizeof buffers[0].header));
    EXPECT_EQ(MIDIERR_STILLPLAYING, midiOutLongMsg(out, &buffers[3].header, sizeof(MIDIHDR)));
    EXPECT_EQ(MIDIERR_STILLPLAYING, midiOutClose(out));
    EXPECT_TRUE(log.entries(MOM_DONE).empty());

    ASSERT_EQ(MMSYSERR_NOERROR, midiOutReset(out));
    const auto done = log.entries(MOM_DONE);
    ASSERT_EQ(8u, done.size()) << "every buffer reported before midiOutReset returned";
    for (std::size_t i = 0; i < done.size(); ++i) {
        EXPECT_EQ(&buffers[i].header, done[i].header);
        EXPECT_TRUE(buffers[i].header.dwFlags & MHDR_DONE);
    }
    // Only the buffer that was in flight reached the device.
    EXPECT_EQ(1u, vm::sentMessages(kLoop1).size());
    for (auto& buffer : buffers)
        EXPECT_EQ(MMSYSERR_NOERROR,
                  midiOutUnprepareHeader(out, &buffer.header, sizeof buffer.header));
    EXPECT_EQ(MMSYSERR_NOERROR, midiOutClose(out));
    forget(out);
    ASSERT_TRUE(log.waitFor(MOM_CLOSE, 1));
}

TEST_F(VirtualLayer, RecordsShowWhenTheDeviceTookAndFinishedEachLongMessage) {
    vm::setLongMessageDuration(kLoop1, 40ms);
    MidiCallbackLog& log = newLog();
    HMIDIOUT out = openOutput(kLoop1, log);
    OutputBuffer first(sysex(10)), second(sysex(20));
    for (auto* buffer : {&first, &second}) {
        ASSERT_EQ(MMSYSERR_NOERROR, midiOutPrepareHeader(out, &buffer->header, sizeof(MIDIHDR)));
        ASSERT_EQ(MMSYSERR_NOERROR, midiOutLongMsg(out, &buffer->header, sizeof(MIDIHDR)));
    }
    ASSERT_TRUE(log.waitFor(MOM_DONE, 2));
    const auto sent = vm::sentMessages(kLoop1);
    ASSERT_EQ(2u, sent.size());
    EXPECT_EQ(first.bytes, sent[0].bytes);
    EXPECT_EQ(second.bytes, sent[1].bytes);
    EXPECT_GE(sent[0].end - sent[0].begin, 40ms);
    EXPECT_GE(sent[1].begin, sent[0].end) << "one long message at a time";
    vm::clearSent(kLoop1);
    EXPECT_TRUE(vm::sentMessages(kLoop1).empty());
}

TEST_F(VirtualLayer, ShortMessagesLeaveAfterTheLongOnesSentBeforeThem) {
    vm::setLongMessageDuration(kLoop1, 100ms);
    MidiCallbackLog& log = newLog();
    HMIDIOUT out = openOutput(kLoop1, log);
    OutputBuffer dump(sysex(64));
    ASSERT_EQ(MMSYSERR_NOERROR, midiOutPrepareHeader(out, &dump.header, sizeof(MIDIHDR)));
    ASSERT_EQ(MMSYSERR_NOERROR, midiOutLongMsg(out, &dump.header, sizeof(MIDIHDR)));
    ASSERT_EQ(MMSYSERR_NOERROR, midiOutShortMsg(out, 0x000005C0)); // program change
    const auto sent = vm::sentMessages(kLoop1);
    ASSERT_EQ(2u, sent.size());
    EXPECT_TRUE(sent[0].longMessage) << "the program change overtook the dump";
    EXPECT_EQ((std::vector<std::uint8_t>{0xC0, 0x05}), sent[1].bytes);
    EXPECT_TRUE(log.waitFor(MOM_DONE, 1)); // before the buffer goes out of scope
}

TEST_F(VirtualLayer, InvalidHandlesAreRefusedWithoutCrashing) {
    MidiCallbackLog& log = newLog();
    HMIDIOUT out = openOutput(kLoop1, log);
    HMIDIIN in = openInput(kLoop1, log);
    ASSERT_EQ(MMSYSERR_NOERROR, midiInClose(in));
    forget(in);
    std::vector<char> data(8);
    MIDIHDR header{};
    header.lpData = data.data();
    header.dwBufferLength = 8;

    const HMIDIIN badInputs[] = {nullptr, in, reinterpret_cast<HMIDIIN>(out),
                                 reinterpret_cast<HMIDIIN>(&header)};
    for (HMIDIIN bad : badInputs) {
        EXPECT_EQ(MMSYSERR_INVALHANDLE, midiInPrepareHeader(bad, &header, sizeof header));
        EXPECT_EQ(MMSYSERR_INVALHANDLE, midiInUnprepareHeader(bad, &header, sizeof header));
        EXPECT_EQ(MMSYSERR_INVALHANDLE, midiInAddBuffer(bad, &header, sizeof header));
        EXPECT_EQ(MMSYSERR_INVALHANDLE, midiInStart(bad));
        EXPECT_EQ(MMSYSERR_INVALHANDLE, midiInStop(bad));
        EXPECT_EQ(MMSYSERR_INVALHANDLE, midiInReset(bad));
        EXPECT_EQ(MMSYSERR_INVALHANDLE, midiInClose(bad));
    }
    const HMIDIOUT badOutputs[] = {nullptr, reinterpret_cast<HMIDIOUT>(in),
                                   reinterpret_cast<HMIDIOUT>(&header)};
    for (HMIDIOUT bad : badOutputs) {
        EXPECT_EQ(MMSYSERR_INVALHANDLE, midiOutShortMsg(bad, 0x403C90));
        EXPECT_EQ(MMSYSERR_INVALHANDLE, midiOutPrepareHeader(bad, &header, sizeof header));
        EXPECT_EQ(MMSYSERR_INVALHANDLE, midiOutUnprepareHeader(bad, &header, sizeof header));
        EXPECT_EQ(MMSYSERR_INVALHANDLE, midiOutLongMsg(bad, &header, sizeof header));
        EXPECT_EQ(MMSYSERR_INVALHANDLE, midiOutReset(bad));
        EXPECT_EQ(MMSYSERR_INVALHANDLE, midiOutClose(bad));
    }
    EXPECT_EQ(MMSYSERR_INVALPARAM, midiOutLongMsg(out, nullptr, sizeof header));
    EXPECT_EQ(MMSYSERR_NOERROR, midiOutClose(out));
    forget(out);
    EXPECT_EQ(MMSYSERR_INVALHANDLE, midiOutClose(out)) << "closed twice";
    EXPECT_EQ(MMSYSERR_INVALHANDLE, midiOutShortMsg(out, 0x403C90));
}

TEST_F(VirtualLayer, OpenRejectsBadArguments) {
    HMIDIIN in = reinterpret_cast<HMIDIIN>(1);
    HMIDIOUT out = reinterpret_cast<HMIDIOUT>(1);
    EXPECT_EQ(MMSYSERR_INVALPARAM, midiInOpen(nullptr, 0, 0, 0, CALLBACK_NULL));
    EXPECT_EQ(MMSYSERR_INVALPARAM, midiOutOpen(nullptr, 0, 0, 0, CALLBACK_NULL));
    EXPECT_EQ(MMSYSERR_BADDEVICEID, midiInOpen(&in, 3, 0, 0, CALLBACK_NULL));
    EXPECT_EQ(nullptr, in);
    EXPECT_EQ(MMSYSERR_BADDEVICEID, midiOutOpen(&out, 7, 0, 0, CALLBACK_NULL));
    EXPECT_EQ(MMSYSERR_INVALPARAM, midiInOpen(&in, 0, 0, 0, CALLBACK_FUNCTION));
    constexpr DWORD kCallbackWindow = 0x00010000;
    EXPECT_EQ(MMSYSERR_INVALFLAG, midiOutOpen(&out, 0, 1234, 0, kCallbackWindow));

    // Without a callback the device still works.
    ASSERT_EQ(MMSYSERR_NOERROR, midiOutOpen(&out, 0, 0, 0, CALLBACK_NULL));
    OutputBuffer message(sysex(50));
    ASSERT_EQ(MMSYSERR_NOERROR, midiOutPrepareHeader(out, &message.header, sizeof(MIDIHDR)));
    ASSERT_EQ(MMSYSERR_NOERROR, midiOutLongMsg(out, &message.header, sizeof(MIDIHDR)));
    MidiCallbackLog& poll = newLog();
    EXPECT_TRUE(
        poll.waitUntil([&] { return (dorvo2test::flagsOf(message.header) & MHDR_DONE) != 0; }));
    EXPECT_EQ(MMSYSERR_NOERROR, midiOutClose(out));
}

TEST_F(VirtualLayer, DeviceRemovedWhileOpenFailsCleanlyWithAWarning) {
    vm::addLoopback("Unplugged");
    WarningCapture warnings;
    MidiCallbackLog& inLog = newLog();
    MidiCallbackLog& outLog = newLog();
    HMIDIIN in = openInput("Unplugged", inLog);
    HMIDIOUT out = openOutput("Unplugged", outLog);
    InputBuffers& buffers = newBuffers(2, 64);
    buffers.queue(in);
    ASSERT_EQ(MMSYSERR_NOERROR, midiInStart(in));

    vm::removeDevice("Unplugged");
    EXPECT_EQ((std::vector<std::string>{kLoop1, kLoop2, kSynth}), inputNames());
    EXPECT_EQ(MIDIERR_NODEVICE, midiOutShortMsg(out, 0x403C90));
    OutputBuffer message(sysex(50));
    ASSERT_EQ(MMSYSERR_NOERROR, midiOutPrepareHeader(out, &message.header, sizeof(MIDIHDR)));
    EXPECT_EQ(MIDIERR_NODEVICE, midiOutLongMsg(out, &message.header, sizeof(MIDIHDR)));
    EXPECT_EQ(MMSYSERR_NODRIVER, midiInStart(in));
    MIDIHDR extra = *buffers.header(0);
    extra.dwFlags = MHDR_PREPARED;
    EXPECT_EQ(MMSYSERR_NODRIVER, midiInAddBuffer(in, &extra, sizeof extra));
    vm::inject("Unplugged", {0x90, 0x3C, 0x40}); // nothing there to inject into any more

    EXPECT_EQ(1, warnings.count("MIDI input \"Unplugged\""));
    EXPECT_EQ(1, warnings.count("MIDI output \"Unplugged\"")) << "reported once, not per call";

    // The buffers queued before still come back, and both handles close.
    ASSERT_EQ(MMSYSERR_NOERROR, midiInReset(in));
    EXPECT_EQ(2u, inLog.entries(MIM_LONGDATA).size());
    EXPECT_EQ(MMSYSERR_NOERROR, midiInClose(in));
    EXPECT_EQ(MMSYSERR_NOERROR, midiOutClose(out));
    forget(in);
    forget(out);
}

TEST_F(VirtualLayer, RemovalWhileALongMessageIsInFlightStillReportsItDone) {
    vm::addLoopback("Slow");
    vm::setLongMessageDuration("Slow", 300ms);
    MidiCallbackLog& log = newLog();
    HMIDIOUT out = openOutput("Slow", log);
    OutputBuffer message(sysex(50));
    ASSERT_EQ(MMSYSERR_NOERROR, midiOutPrepareHeader(out, &message.header, sizeof(MIDIHDR)));
    ASSERT_EQ(MMSYSERR_NOERROR, midiOutLongMsg(out, &message.header, sizeof(MIDIHDR)));
    vm::removeDevice("Slow");
    ASSERT_TRUE(log.waitFor(MOM_DONE, 1)) << "a sender waiting for it would hang";
    EXPECT_TRUE(message.header.dwFlags & MHDR_DONE);
}

TEST_F(VirtualLayer, SimulatedDeviceHearsItsOutputAndAnswersOnItsInput) {
    auto synth = std::make_shared<EchoDevice>();
    vm::addDevice("Echo", synth);
    MidiCallbackLog& inLog = newLog();
    MidiCallbackLog& outLog = newLog();
    HMIDIIN in = openInput("Echo", inLog);
    HMIDIOUT out = openOutput("Echo", outLog);
    ASSERT_EQ(MMSYSERR_NOERROR, midiInStart(in));
    ASSERT_EQ(MMSYSERR_NOERROR, midiOutShortMsg(out, 0x00403C92));
    ASSERT_TRUE(inLog.waitFor(MIM_DATA, 1));
    EXPECT_EQ(0x404892u, inLog.entries(MIM_DATA)[0].param1);
    EXPECT_EQ(1, synth->received.load());
    EXPECT_EQ(1u, vm::sentMessages("Echo").size());
}

TEST_F(VirtualLayer, CallbacksMayResetAndCloseTheirOwnDevice) {
    MidiCallbackLog& log = newLog();
    HMIDIOUT out = nullptr;
    std::atomic<MMRESULT> resetResult{99}, closeResult{99};
    log.onEntry = [&](const dorvo2test::MidiCallbackEntry& entry) {
        if (entry.message != MOM_DONE)
            return;
        resetResult = midiOutReset(out);
        midiOutUnprepareHeader(out, entry.header, sizeof(MIDIHDR));
        closeResult = midiOutClose(out);
    };
    out = openOutput(kLoop1, log);
    OutputBuffer message(sysex(50));
    ASSERT_EQ(MMSYSERR_NOERROR, midiOutPrepareHeader(out, &message.header, sizeof(MIDIHDR)));
    ASSERT_EQ(MMSYSERR_NOERROR, midiOutLongMsg(out, &message.header, sizeof(MIDIHDR)));
    ASSERT_TRUE(log.waitFor(MOM_CLOSE, 1)) << "a callback that waited for itself would hang";
    forget(out);
    EXPECT_EQ(MMSYSERR_NOERROR, resetResult.load());
    EXPECT_EQ(MMSYSERR_NOERROR, closeResult.load());
    EXPECT_EQ(MMSYSERR_INVALHANDLE, midiOutShortMsg(out, 0x403C90));
}

TEST(MultimediaTime, CountsMillisecondsOfAMonotonicClock) {
    const DWORD first = timeGetTime();
    std::this_thread::sleep_for(50ms);
    const DWORD second = timeGetTime();
    EXPECT_GE(DWORD(second - first), 50u);
    const auto steady = std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::steady_clock::now().time_since_epoch())
                            .count();
    EXPECT_LE(std::llabs(std::int64_t(DWORD(steady)) - std::int64_t(timeGetTime())), 5);
}
