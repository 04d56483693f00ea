// In-process virtual MIDI devices of the virtual backend (DORVO2_MIDI=virtual): loopback pairs,
// simulated devices that answer what they are sent, and the controls that tests use to watch
// and disturb them. Only this layer's virtual backend lists these devices.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace dorvo::virtualmidi {

using Clock = std::chrono::steady_clock;

// One message as an output device received it: a short message (status and data bytes, 1 to 3
// bytes) or one long buffer (exactly the bytes of one midiOutLongMsg call).
struct SentMessage {
    std::vector<std::uint8_t> bytes;
    bool longMessage = false;
    Clock::time_point begin; // when the device took the message
    Clock::time_point end;   // when it reported it done (MOM_DONE for long messages)
};

// A device of the machine as seen by the input side: whatever it emits arrives on the input
// device of the same name.
class DevicePort {
public:
    virtual ~DevicePort() = default;
    // Any thread: bytes that arrive on the input device; short messages are recognised as such,
    // system-exclusive bytes fill the input buffers in order. (Not called `emit`: Qt defines
    // that word as a macro.)
    virtual void emitBytes(const std::uint8_t* bytes, std::size_t count) = 0;
};

// A simulated piece of hardware behind an output/input pair of one name.
class SimulatedDevice {
public:
    virtual ~SimulatedDevice() = default;
    // The layer's output thread: a message sent to the device's output. Answer through `port`,
    // now or later from a thread of the device's own.
    virtual void receive(const SentMessage& message, DevicePort& port) = 0;
    // Any thread: the device behind `port` was removed or is going; once this returns the
    // simulation must not call `port` again. Called before the port is destroyed.
    virtual void portGone(DevicePort& port) { (void)port; }
};

// The simulated synthesizer of the Demo Synth editor (examples/DemoSynth/PROTOCOL.md): answers
// dump requests with dumps, stores dumps and parameter changes, and starts with its factory
// preset "Demo Brass".
inline constexpr const char* kDemoSynthName = "Dorvo Demo Synth";

struct SynthTiming {
    // Its answers travel at 3125 bytes per second (a real MIDI cable) times this factor.
    double wireSpeedFactor = 10.0;
    // How long it thinks about each message before answering.
    std::chrono::milliseconds processingDelay{3};
};

// A new synthesizer with its factory preset, to add with addDevice (the backend itself offers
// one under kDemoSynthName); its answers come from a thread of its own.
std::shared_ptr<SimulatedDevice> makeDemoSynth(SynthTiming timing = {});

// Any thread. The backend starts with the loopback pairs "Dorvo Loopback 1" and
// "Dorvo Loopback 2", then the simulated synthesizer kDemoSynthName; devices added later appear
// in the device lists at once (listed in the order added) and vanish when removed, also while
// open (open handles then fail with MMSYSERR_NODRIVER / MIDIERR_NODEVICE and a warning).
void addLoopback(const std::string& name);
void addDevice(const std::string& name, std::shared_ptr<SimulatedDevice> device);
void removeDevice(const std::string& name);
// Back to the two loopback pairs and the synthesizer with its factory preset and nothing left
// to answer, with no records and no delays. Handles open on these stay usable.
void reset();

// Bytes arriving at the input device `name`, as if the hardware sent them.
void inject(const std::string& name, const std::vector<std::uint8_t>& bytes);

// Every message the output device `name` received since the last clearSent, in order.
std::vector<SentMessage> sentMessages(const std::string& name);
void clearSent(const std::string& name);

// How long the output device `name` takes for a long message before reporting it done;
// zero by default. Lets tests keep buffers in flight.
void setLongMessageDuration(const std::string& name, std::chrono::milliseconds duration);

} // namespace dorvo::virtualmidi
