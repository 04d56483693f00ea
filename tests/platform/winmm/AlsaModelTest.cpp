// The ALSA backend against a model of the kernel's sequencer: paced output to hardware and full
// speed to programs, a burst beyond the input pool counted as loss, devices that go away while
// open, device numbers that hold while other clients come and go, private ports, connections
// taken down from outside, and libasound's complaints passed on to a handler set before ours.
#include "AlsaBackend.h"
#include "AlsaLibrarySequencer.h"
#include "SequencerModel.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdarg>
#include <mutex>
#include <thread>

using namespace dorvo::winmm;
using namespace std::chrono_literals;
using seqmodel::Sequencer;

namespace {

// What an open input device delivers, counted.
class Sink final : public MidiInputSink {
public:
    void receiveBytes(const std::uint8_t* bytes, std::size_t count) override {
        std::lock_guard lock(m_mutex);
        m_bytes.insert(m_bytes.end(), bytes, bytes + count);
    }
    void bytesLost() override { ++lost; }
    void deviceLost(const std::string& reason) override {
        std::lock_guard lock(m_mutex);
        m_lostReason = reason;
        ++gone;
    }
    std::vector<std::uint8_t> bytes() {
        std::lock_guard lock(m_mutex);
        return m_bytes;
    }
    std::string lostReason() {
        std::lock_guard lock(m_mutex);
        return m_lostReason;
    }
    std::atomic<int> lost{0};
    std::atomic<int> gone{0};

private:
    std::mutex m_mutex;
    std::vector<std::uint8_t> m_bytes;
    std::string m_lostReason;
};

template <typename Condition> bool eventually(Condition done) {
    const auto until = std::chrono::steady_clock::now() + 5s;
    while (!done() && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(2ms);
    return done();
}

std::vector<std::uint8_t> dump(std::size_t size) {
    std::vector<std::uint8_t> bytes(size);
    bytes.front() = 0xF0;
    for (std::size_t i = 1; i + 1 < size; ++i)
        bytes[i] = std::uint8_t((i * 7 + i / 251) & 0x7F);
    bytes.back() = 0xF7;
    return bytes;
}

int indexOf(AlsaBackend& backend, Direction direction, const std::string& name) {
    const auto names = backend.deviceNames(direction);
    for (std::size_t i = 0; i < names.size(); ++i)
        if (names[i] == name)
            return int(i);
    return -1;
}

class AlsaModelTest : public testing::Test {
protected:
    AlsaModelTest() {
        synth = model.addClient("Synth", true);
        synthPort = model.addPort(synth, "Synth MIDI 1");
        program = model.addClient("Sequencer", false);
        programPort = model.addPort(program, "in-out");
        backend = std::make_unique<AlsaBackend>(model.connect());
    }

    Sequencer model;
    int synth, synthPort, program, programPort;
    std::unique_ptr<AlsaBackend> backend;
};

TEST_F(AlsaModelTest, DumpsLeaveAtCableSpeedForHardwareAndAtOnceForPrograms) {
    ASSERT_TRUE(backend->isOpen()) << backend->failure();
    backend->refreshDevices(Direction::Output);
    EXPECT_EQ(backend->deviceNames(Direction::Output),
              (std::vector<std::string>{"Synth:Synth MIDI 1", "Sequencer:in-out"}));

    const std::vector<std::uint8_t> bank = dump(200 * 1024);
    std::unique_ptr<MidiBackendOutput> hardware;
    ASSERT_EQ(backend->openOutput(0, hardware), MMSYSERR_NOERROR);
    SendCancellation cancel;
    const auto start = model.now();
    ASSERT_EQ(hardware->sendLong(bank.data(), bank.size(), cancel), MMSYSERR_NOERROR);
    // Done means transmitted: every byte is on the cable, in order, none lost.
    const seqmodel::Cable cable = model.cable(synth, synthPort);
    EXPECT_EQ(cable.overrun, 0u);
    EXPECT_EQ(cable.bytes.size(), bank.size());
    EXPECT_TRUE(cable.bytes == bank);
    const auto cableTime = Sequencer::kByteTime * long(bank.size());
    EXPECT_GE(model.now() - start, cableTime);
    EXPECT_LE(model.now() - start, cableTime + 100ms);
    EXPECT_LE(cable.lastByteAt, model.now());

    // A short message meanwhile waits its turn behind the bytes on their way, too.
    const std::uint8_t note[] = {0x90, 60, 100};
    EXPECT_EQ(hardware->sendShort(note, 3), MMSYSERR_NOERROR);

    std::unique_ptr<MidiBackendOutput> software;
    ASSERT_EQ(backend->openOutput(1, software), MMSYSERR_NOERROR);
    const auto before = model.now();
    ASSERT_EQ(software->sendLong(bank.data(), bank.size(), cancel), MMSYSERR_NOERROR);
    EXPECT_EQ(model.now(), before);
    std::vector<std::uint8_t> received;
    for (const auto& event : model.received(program, programPort))
        received.insert(received.end(), event.begin(), event.end());
    EXPECT_TRUE(received == bank);
}

TEST_F(AlsaModelTest, InputArrivesAndABurstBeyondThePoolIsCountedAsLoss) {
    EXPECT_EQ(model.ourPool(), 2000u);
    backend->refreshDevices(Direction::Input);
    Sink sink;
    std::unique_ptr<MidiBackendInput> input;
    ASSERT_EQ(backend->openInput(UINT(indexOf(*backend, Direction::Input, "Synth:Synth MIDI 1")),
                                 sink, input),
              MMSYSERR_NOERROR);
    model.emit(synth, synthPort, {0x90, 64, 90});
    model.emit(synth, synthPort, {0xF0, 0x7D, 0x01, 0xF7});
    ASSERT_TRUE(eventually([&] { return sink.bytes().size() == 7; }));
    EXPECT_EQ(sink.bytes(), (std::vector<std::uint8_t>{0x90, 64, 90, 0xF0, 0x7D, 0x01, 0xF7}));

    // Faster than the reader: what the pool cannot hold is lost and said so; reading goes on.
    model.emit(synth, synthPort, {0x80, 64, 0}, 5000);
    ASSERT_TRUE(eventually([&] { return sink.lost > 0; }));
    EXPECT_EQ(model.droppedForUs(), 3000u);
    model.emit(synth, synthPort, {0xB0, 7, 1});
    ASSERT_TRUE(eventually([&] {
        const auto bytes = sink.bytes();
        return bytes.size() >= 3 && bytes[bytes.size() - 3] == 0xB0;
    }));
    EXPECT_EQ(sink.bytes().size(), 7u + 3 * 2000 + 3);
    EXPECT_EQ(sink.gone, 0);
}

TEST_F(AlsaModelTest, DevicesThatGoAwayWhileOpenAreReportedAndStaySafeToClose) {
    backend->refreshDevices(Direction::Input);
    backend->refreshDevices(Direction::Output);
    Sink sink;
    std::unique_ptr<MidiBackendInput> input;
    std::unique_ptr<MidiBackendOutput> output;
    ASSERT_EQ(backend->openInput(0, sink, input), MMSYSERR_NOERROR);
    ASSERT_EQ(backend->openOutput(0, output), MMSYSERR_NOERROR);
    model.removeClient(synth);
    ASSERT_TRUE(eventually([&] { return sink.gone == 1 && output->isGone(); }));
    EXPECT_NE(sink.lostReason().find("went away"), std::string::npos);
    const std::uint8_t note[] = {0x90, 60, 100};
    EXPECT_EQ(output->sendShort(note, 3), MIDIERR_NODEVICE);
    input.reset();
    output.reset();

    // A connection taken down from outside is as good as gone.
    backend->refreshDevices(Direction::Input);
    backend->refreshDevices(Direction::Output);
    Sink other;
    ASSERT_EQ(backend->openInput(0, other, input), MMSYSERR_NOERROR);
    ASSERT_EQ(backend->openOutput(0, output), MMSYSERR_NOERROR);
    int ourIn = -1, ourOut = -1;
    for (const auto& port : model.portsOf(Sequencer::kOurClient)) {
        // Private: not listed to others, and not open to their subscriptions.
        EXPECT_TRUE(port.capability & SND_SEQ_PORT_CAP_NO_EXPORT) << port.portName;
        EXPECT_FALSE(port.capability & (SND_SEQ_PORT_CAP_SUBS_READ | SND_SEQ_PORT_CAP_SUBS_WRITE))
            << port.portName;
        if (port.portName.rfind("MIDI in", 0) == 0)
            ourIn = port.port;
        if (port.portName.rfind("MIDI out", 0) == 0)
            ourOut = port.port;
    }
    ASSERT_GE(ourIn, 0);
    ASSERT_GE(ourOut, 0);
    EXPECT_EQ(model.connectAsThirdParty(program, programPort, Sequencer::kOurClient, ourIn),
              -EPERM);
    EXPECT_EQ(model.connectAsThirdParty(Sequencer::kOurClient, ourOut, program, programPort),
              -EPERM);
    model.disconnectAsThirdParty(program, programPort, Sequencer::kOurClient, ourIn);
    model.disconnectAsThirdParty(Sequencer::kOurClient, ourOut, program, programPort);
    ASSERT_TRUE(eventually([&] { return other.gone == 1 && output->isGone(); }));
    EXPECT_NE(other.lostReason().find("connection was removed"), std::string::npos);
}

// The list taken at the last refresh holds until the next, whoever comes and goes meanwhile; a
// device is opened by its name, wherever its numbers went.
TEST_F(AlsaModelTest, DeviceNumbersHoldWhileOtherClientsComeAndGo) {
    const int keys = model.addClient("Keys", true);
    const int keysPort = model.addPort(keys, "Keys MIDI 1");
    backend->refreshDevices(Direction::Input);
    const std::vector<std::string> listed = backend->deviceNames(Direction::Input);
    ASSERT_EQ(listed, (std::vector<std::string>{"Synth:Synth MIDI 1", "Sequencer:in-out",
                                                "Keys:Keys MIDI 1"}));
    model.removeClient(program);
    const int late = model.addClient("Late", false);
    model.addPort(late, "out");
    EXPECT_EQ(backend->deviceNames(Direction::Input), listed);

    Sink sink;
    std::unique_ptr<MidiBackendInput> input;
    ASSERT_EQ(backend->openInput(2, sink, input), MMSYSERR_NOERROR);
    model.emit(keys, keysPort, {0x90, 1, 2});
    ASSERT_TRUE(eventually([&] { return sink.bytes().size() == 3; }));
    // The program that went away cannot be opened under its old number.
    Sink none;
    std::unique_ptr<MidiBackendInput> missing;
    EXPECT_EQ(backend->openInput(1, none, missing), MMSYSERR_BADDEVICEID);

    // Its client back under new numbers: the same device by name.
    const int again = model.addClient("Sequencer", false);
    const int againPort = model.addPort(again, "in-out");
    ASSERT_EQ(backend->openInput(1, none, missing), MMSYSERR_NOERROR);
    model.emit(again, againPort, {0xC0, 5});
    ASSERT_TRUE(eventually([&] { return none.bytes().size() == 2; }));
    backend->refreshDevices(Direction::Input);
    EXPECT_EQ(backend->deviceNames(Direction::Input),
              (std::vector<std::string>{"Synth:Synth MIDI 1", "Keys:Keys MIDI 1", "Late:out",
                                        "Sequencer:in-out"}));
}

std::atomic<int> devicesChangedCalls{0};

// Other clients' ports coming and going are told to the layer's user; ours, made with every
// open, are not.
TEST_F(AlsaModelTest, OtherClientsPortsComingAndGoingAreTold) {
    dorvoMidiSetDevicesChangedCallback([](DWORD_PTR) { ++devicesChangedCalls; }, 0);
    backend->refreshDevices(Direction::Input);
    Sink sink;
    std::unique_ptr<MidiBackendInput> input;
    ASSERT_EQ(backend->openInput(0, sink, input), MMSYSERR_NOERROR);
    // Once this arrived, the reader has seen the announcements of our own new port.
    model.emit(synth, synthPort, {0x90, 1, 1});
    ASSERT_TRUE(eventually([&] { return sink.bytes().size() == 3; }));
    EXPECT_EQ(devicesChangedCalls.load(), 0);

    const int pads = model.addClient("Pads", true);
    model.addPort(pads, "Pads MIDI 1");
    ASSERT_TRUE(eventually([&] { return devicesChangedCalls.load() >= 1; }));
    const int seen = devicesChangedCalls.load();
    model.removeClient(pads);
    ASSERT_TRUE(eventually([&] { return devicesChangedCalls.load() > seen; }));
    dorvoMidiSetDevicesChangedCallback(nullptr, 0);
}

std::atomic<int> earlierHandlerCalls{0};
void earlierHandler(const char*, int, const char*, int, const char*, ...) {
    ++earlierHandlerCalls;
}

// A handler that a component set before the backend opened the sequencer still hears
// libasound's complaints (this machine has no sequencer: opening it complains).
TEST(AlsaLibrarySequencerTest, AnEarlierErrorHandlerStillHearsLibasound) {
    if (AlsaBackend::sequencerPresent())
        GTEST_SKIP() << "this machine has a sequencer: opening it does not complain";
    snd_lib_error_set_handler(&earlierHandler);
    std::string failure;
    EXPECT_EQ(AlsaLibrarySequencer::open(failure), nullptr);
    EXPECT_NE(failure.find("ALSA sequencer"), std::string::npos);
    EXPECT_GT(earlierHandlerCalls.load(), 0);
    snd_lib_error_set_handler(nullptr);
}

} // namespace
