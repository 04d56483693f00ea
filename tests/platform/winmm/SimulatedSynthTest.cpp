// The simulated synthesizer behind "Dorvo Demo Synth", driven through the multimedia functions
// as its editor drives it: dump requests, dumps with acknowledges, parameter changes, timing,
// and removal while answers are still on their way. Expected bytes follow the protocol page.
#include "MidiTestSupport.h"

#include <dorvo/mmsystem.h>
#include <dorvo/virtualmidi.h>

#include <gtest/gtest.h>

#include <chrono>
#include <list>
#include <thread>

using dorvo2test::MidiCallbackLog;
using dorvo2test::OutputBuffer;
namespace vm = dorvo::virtualmidi;
using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

namespace {

const Bytes kPresetBlock0 = {0xF0, 0x7D, 0x31, 0x00, 0x11, 0x00, 0x08, 0,   2,
                             100,  0,    2,    70,   90,   0,    0x70, 0xF7};
const Bytes kPresetBlock1 = {0xF0, 0x7D, 0x31, 0x00, 0x11, 0x01, 0x08, 0x00, 0x48,
                             0x18, 0x58, 0x40, 0x0A, 0x14, 0x00, 0x61, 0xF7};
const Bytes kPresetBlock2 = {0xF0, 0x7D, 0x31, 0x00, 0x11, 0x02, 0x08, 12,  60,
                             96,   30,   8,    50,   40,   30,   0x30, 0xF7};

Bytes request(std::uint8_t block, std::uint8_t device = 0x00) {
    return {0xF0, 0x7D, 0x31, device, 0x10, block, 0xF7};
}

Bytes acknowledge(std::uint8_t block, std::uint8_t status) {
    return {0xF0, 0x7D, 0x31, 0x00, 0x13, block, status, 0xF7};
}

class SimulatedSynthTest : public dorvo2test::MidiLayerFixture {
protected:
    void SetUp() override { vm::reset(); }
    void TearDown() override {
        MidiLayerFixture::TearDown();
        vm::reset();
    }

    void open(const std::string& name) {
        in = openInput(name, inLog);
        out = openOutput(name, outLog);
        newBuffers(8, 256).queue(in);
        ASSERT_EQ(MMSYSERR_NOERROR, midiInStart(in));
    }
    void send(const Bytes& bytes) {
        OutputBuffer& buffer = m_sent.emplace_back(bytes);
        ASSERT_EQ(MMSYSERR_NOERROR, midiOutPrepareHeader(out, &buffer.header, sizeof(MIDIHDR)));
        ASSERT_EQ(MMSYSERR_NOERROR, midiOutLongMsg(out, &buffer.header, sizeof(MIDIHDR)));
        ASSERT_TRUE(outLog.waitFor(MOM_DONE, m_sent.size()));
    }
    // The next `count` answers; the buffers they came in are queued again.
    std::vector<Bytes> answers(std::size_t count) {
        std::vector<Bytes> result;
        if (!inLog.waitFor(MIM_LONGDATA, count))
            return result;
        for (const auto& entry : inLog.entries(MIM_LONGDATA)) {
            result.push_back(entry.bytes);
            midiInAddBuffer(in, entry.header, sizeof(MIDIHDR));
        }
        inLog.clear();
        return result;
    }

    MidiCallbackLog inLog, outLog;
    HMIDIIN in = nullptr;
    HMIDIOUT out = nullptr;

private:
    std::list<OutputBuffer> m_sent;
};

TEST_F(SimulatedSynthTest, AnswersDumpRequestsWithItsFactoryPreset) {
    open(vm::kDemoSynthName);
    send(request(1));
    EXPECT_EQ(answers(1), (std::vector<Bytes>{kPresetBlock1}));

    // Other devices, models, makers and broken requests are not its business; answers come in
    // order, so the one answer below shows that those went unanswered.
    send(request(0, 0x05));
    send({0xF0, 0x7D, 0x32, 0x00, 0x10, 0x00, 0xF7});
    send({0xF0, 0x43, 0x31, 0x00, 0x10, 0x00, 0xF7});
    send({0xF0, 0x7D, 0x31, 0x00, 0x10, 0x09, 0xF7});
    send({0xF0, 0x7D, 0x31, 0x00, 0x10, 0xF7});
    send(request(0x7F, 0x7F));
    EXPECT_EQ(answers(3), (std::vector<Bytes>{kPresetBlock0, kPresetBlock1, kPresetBlock2}));
    std::this_thread::sleep_for(30ms);
    EXPECT_TRUE(inLog.entries(MIM_LONGDATA).empty());
}

TEST_F(SimulatedSynthTest, StoresValidDumpsAndParameterChangesAndSaysWhatItRefused) {
    open(vm::kDemoSynthName);
    const Bytes newFilter = {0xF0, 0x7D, 0x31, 0x00, 0x11, 0x01, 0x08, 2,   1,
                             2,    3,    4,    5,    6,    7,    0x59, 0xF7};
    Bytes damaged = newFilter;
    damaged[9] = 0x33;
    Bytes shortDump = {0xF0, 0x7D, 0x31, 0x00, 0x11, 0x01, 0x07, 1, 2, 3, 4, 5, 6, 7, 0x5F, 0xF7};
    send(damaged);
    send(shortDump);
    send({0xF0, 0x7D, 0x31, 0x00, 0x11, 0x05, 0x08, 0, 0, 0, 0, 0, 0, 0, 0, 0x73, 0xF7});
    send(request(1));
    EXPECT_EQ(answers(4), (std::vector<Bytes>{acknowledge(1, 1), acknowledge(1, 2),
                                              acknowledge(5, 2), kPresetBlock1}));

    send(newFilter);
    send({0xF0, 0x7D, 0x31, 0x00, 0x12, 0x02, 0x03, 0x77, 0xF7}); // amp release
    send({0xF0, 0x7D, 0x31, 0x00, 0x12, 0x02, 0x08, 0x77, 0xF7}); // no such parameter
    send(request(0x7F));
    const Bytes changedEnvelopes = {0xF0, 0x7D, 0x31, 0x00, 0x11, 0x02, 0x08, 12,  60,
                                    96,   0x77, 8,    50,   40,   30,   0x57, 0xF7};
    EXPECT_EQ(answers(4),
              (std::vector<Bytes>{acknowledge(1, 0), kPresetBlock0, newFilter, changedEnvelopes}));

    // Back to the preset, with the same device still open.
    vm::reset();
    send(request(2));
    EXPECT_EQ(answers(1), (std::vector<Bytes>{kPresetBlock2}));
}

TEST_F(SimulatedSynthTest, AnswersAfterItsProcessingDelayAndTheWireTime) {
    // One byte per millisecond on the wire (3125 bytes/s times 0.32), 40 ms of thought.
    vm::addDevice("Slow Synth", vm::makeDemoSynth({0.32, 40ms}));
    open("Slow Synth");
    const auto before = std::chrono::steady_clock::now();
    send(request(2));
    ASSERT_EQ(answers(1), (std::vector<Bytes>{kPresetBlock2}));
    EXPECT_GE(std::chrono::steady_clock::now() - before, 40ms + 17ms);
}

TEST_F(SimulatedSynthTest, RemovalWhileAnswersAreOnTheirWayLeavesThePortAlone) {
    // The test keeps the synthesizer beyond its device; it must not answer into a port that
    // is gone (the address checker sees it if it does).
    auto synth = vm::makeDemoSynth({0.5, 20ms});
    vm::addDevice("Doomed", synth);
    open("Doomed");
    send(request(0x7F));
    vm::removeDevice("Doomed");
    // Closing the handles destroys the device itself.
    midiInReset(in);
    EXPECT_EQ(MMSYSERR_NOERROR, midiInClose(in));
    forget(in);
    EXPECT_EQ(MMSYSERR_NOERROR, midiOutClose(out));
    forget(out);
    std::this_thread::sleep_for(120ms);
    std::size_t answered = 0;
    for (const auto& entry : inLog.entries(MIM_LONGDATA))
        answered += entry.bytes.empty() ? 0 : 1; // the reset hands back empty buffers too
    EXPECT_LT(answered, 3u);
}

} // namespace
