// The in-process devices of <dorvo/virtualmidi.h> and the backend that lists them.
#pragma once

#include "Backend.h"
#include "SimulatedSynth.h"

#include <dorvo/virtualmidi.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace dorvo::winmm {

// One virtual device: an output and an input of one name. What is sent to the output goes to
// the simulated device behind it, or for a loopback straight to the input.
class VirtualDevice final : public virtualmidi::DevicePort {
public:
    VirtualDevice(std::string name, std::shared_ptr<virtualmidi::SimulatedDevice> simulated);
    // Tells the simulated device first that this port is going.
    ~VirtualDevice() override;

    const std::string& name() const { return m_name; }
    bool isLoopback() const { return m_simulated == nullptr; }
    bool isSimulatedBy(const virtualmidi::SimulatedDevice* simulated) const {
        return m_simulated.get() == simulated;
    }
    bool isRemoved() const { return m_removed.load(); }
    // Unplugs the device: open inputs hear that it is gone and sends fail from now on.
    void remove();

    void attachInput(MidiInputSink& sink);
    // After it returns the sink is not called again.
    void detachInput(MidiInputSink& sink);
    void emitBytes(const std::uint8_t* bytes, std::size_t count) override;

    // A message that the output took: recorded, then passed on.
    void transmit(const virtualmidi::SentMessage& message);
    std::chrono::milliseconds longMessageDuration() const;
    void setLongMessageDuration(std::chrono::milliseconds duration);
    std::vector<virtualmidi::SentMessage> sentMessages() const;
    void clearRecords();

private:
    void record(const virtualmidi::SentMessage& message);

    const std::string m_name;
    const std::shared_ptr<virtualmidi::SimulatedDevice> m_simulated;
    std::atomic<bool> m_removed{false};

    std::mutex m_inputsMutex; // held while bytes are delivered, so detach waits for them
    std::vector<MidiInputSink*> m_inputs;

    mutable std::mutex m_recordsMutex;
    std::vector<virtualmidi::SentMessage> m_sent;
    std::size_t m_sentBytes = 0;
    std::chrono::milliseconds m_longMessageDuration{0};
};

// The process's virtual devices, in the order added.
class VirtualDeviceRegistry {
public:
    static VirtualDeviceRegistry& instance();

    std::vector<std::shared_ptr<VirtualDevice>> devices() const;
    // The first device of that name still plugged in, or null.
    std::shared_ptr<VirtualDevice> find(const std::string& name) const;
    void add(const std::string& name, std::shared_ptr<virtualmidi::SimulatedDevice> simulated);
    void remove(const std::string& name);
    void reset();

private:
    VirtualDeviceRegistry();
    // Under m_mutex: the devices the backend starts with, reusing those still present.
    std::vector<std::shared_ptr<VirtualDevice>> takeInitialDevices();

    mutable std::mutex m_mutex;
    std::vector<std::shared_ptr<VirtualDevice>> m_devices;
    // The synthesizer the backend offers under virtualmidi::kDemoSynthName.
    const std::shared_ptr<SimulatedSynth> m_demoSynth;
};

class VirtualBackend final : public MidiBackend {
public:
    std::vector<std::string> deviceNames(Direction direction) override;
    MMRESULT openInput(UINT index, MidiInputSink& sink,
                       std::unique_ptr<MidiBackendInput>& input) override;
    MMRESULT openOutput(UINT index, std::unique_ptr<MidiBackendOutput>& output) override;
};

} // namespace dorvo::winmm
