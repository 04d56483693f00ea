#include "VirtualBackend.h"

#include <QtGlobal>

#include <algorithm>

namespace dorvo::winmm {

namespace {

constexpr const char* kLoopbackNames[] = {"Dorvo Loopback 1", "Dorvo Loopback 2"};

// A program left running on the virtual devices sends without end; the records keep the most
// recent messages only, far more than a test looks at.
constexpr std::size_t kMaxRecordedMessages = 100000;
constexpr std::size_t kMaxRecordedBytes = 64u << 20;

using virtualmidi::Clock;
using virtualmidi::SentMessage;

class VirtualInput final : public MidiBackendInput {
public:
    VirtualInput(std::shared_ptr<VirtualDevice> device, MidiInputSink& sink)
        : m_device(std::move(device)), m_sink(sink) {
        m_device->attachInput(m_sink);
    }
    ~VirtualInput() override { m_device->detachInput(m_sink); }

private:
    const std::shared_ptr<VirtualDevice> m_device;
    MidiInputSink& m_sink;
};

class VirtualOutput final : public MidiBackendOutput {
public:
    explicit VirtualOutput(std::shared_ptr<VirtualDevice> device) : m_device(std::move(device)) {}

    MMRESULT sendShort(const std::uint8_t* bytes, std::size_t count) override {
        if (m_device->isRemoved())
            return MIDIERR_NODEVICE;
        const auto now = Clock::now();
        m_device->transmit({std::vector<std::uint8_t>(bytes, bytes + count), false, now, now});
        return MMSYSERR_NOERROR;
    }

    MMRESULT sendLong(const std::uint8_t* bytes, std::size_t count,
                      SendCancellation& cancel) override {
        if (m_device->isRemoved())
            return MIDIERR_NODEVICE;
        SentMessage message{
            std::vector<std::uint8_t>(bytes, bytes + count), true, Clock::now(), {}};
        // The time a slow device takes to swallow the buffer; a reset cuts it short.
        const auto duration = m_device->longMessageDuration();
        if (duration.count() > 0)
            cancel.sleepFor(duration);
        if (m_device->isRemoved())
            return MIDIERR_NODEVICE;
        message.end = Clock::now();
        m_device->transmit(message);
        return MMSYSERR_NOERROR;
    }

    bool isGone() const override { return m_device->isRemoved(); }

private:
    const std::shared_ptr<VirtualDevice> m_device;
};

} // namespace

VirtualDevice::VirtualDevice(std::string name,
                             std::shared_ptr<virtualmidi::SimulatedDevice> simulated)
    : m_name(std::move(name)), m_simulated(std::move(simulated)) {}

VirtualDevice::~VirtualDevice() {
    // The simulation may outlive this port (another owner keeps it) and answer from its own
    // thread; it must let go of the port while all of it still exists.
    if (m_simulated)
        m_simulated->portGone(*this);
}

void VirtualDevice::remove() {
    {
        std::lock_guard lock(m_inputsMutex);
        if (m_removed.exchange(true))
            return;
        for (MidiInputSink* sink : m_inputs)
            sink->deviceLost("the virtual device was removed");
    }
    // Outside the inputs lock: the simulation holds its own lock while it emits to the port.
    if (m_simulated)
        m_simulated->portGone(*this);
}

void VirtualDevice::attachInput(MidiInputSink& sink) {
    std::lock_guard lock(m_inputsMutex);
    m_inputs.push_back(&sink);
}

void VirtualDevice::detachInput(MidiInputSink& sink) {
    std::lock_guard lock(m_inputsMutex);
    std::erase(m_inputs, &sink);
}

void VirtualDevice::emitBytes(const std::uint8_t* bytes, std::size_t count) {
    if (bytes == nullptr || count == 0)
        return;
    std::lock_guard lock(m_inputsMutex);
    if (m_removed)
        return;
    for (MidiInputSink* sink : m_inputs)
        sink->receiveBytes(bytes, count);
}

void VirtualDevice::transmit(const SentMessage& message) {
    record(message);
    if (m_simulated)
        m_simulated->receive(message, *this);
    else
        emitBytes(message.bytes.data(), message.bytes.size());
}

void VirtualDevice::record(const SentMessage& message) {
    std::lock_guard lock(m_recordsMutex);
    m_sent.push_back(message);
    m_sentBytes += message.bytes.size();
    std::size_t dropped = 0;
    while (m_sent.size() - dropped > kMaxRecordedMessages ||
           (m_sentBytes > kMaxRecordedBytes && m_sent.size() - dropped > 1)) {
        m_sentBytes -= m_sent[dropped].bytes.size();
        ++dropped;
    }
    m_sent.erase(m_sent.begin(), m_sent.begin() + std::ptrdiff_t(dropped));
}

std::chrono::milliseconds VirtualDevice::longMessageDuration() const {
    std::lock_guard lock(m_recordsMutex);
    return m_longMessageDuration;
}

void VirtualDevice::setLongMessageDuration(std::chrono::milliseconds duration) {
    std::lock_guard lock(m_recordsMutex);
    m_longMessageDuration = std::max(duration, std::chrono::milliseconds(0));
}

std::vector<SentMessage> VirtualDevice::sentMessages() const {
    std::lock_guard lock(m_recordsMutex);
    return m_sent;
}

void VirtualDevice::clearRecords() {
    std::lock_guard lock(m_recordsMutex);
    m_sent.clear();
    m_sentBytes = 0;
}

VirtualDeviceRegistry& VirtualDeviceRegistry::instance() {
    // Never destroyed: devices may be used by threads that outlive static destruction.
    static auto* registry = new VirtualDeviceRegistry;
    return *registry;
}

VirtualDeviceRegistry::VirtualDeviceRegistry()
    : m_demoSynth(std::make_shared<SimulatedSynth>(virtualmidi::SynthTiming{})) {
    m_devices = takeInitialDevices();
}

std::vector<std::shared_ptr<VirtualDevice>> VirtualDeviceRegistry::takeInitialDevices() {
    std::vector<std::shared_ptr<VirtualDevice>> initial;
    // The same objects are kept, so that handles open on them stay usable.
    const auto takeOrMake = [&](const char* name,
                                std::shared_ptr<virtualmidi::SimulatedDevice> simulated) {
        const auto it = std::find_if(m_devices.begin(), m_devices.end(), [&](const auto& d) {
            return d->name() == name && d->isSimulatedBy(simulated.get());
        });
        if (it != m_devices.end()) {
            initial.push_back(*it);
            m_devices.erase(it);
        } else {
            initial.push_back(std::make_shared<VirtualDevice>(name, std::move(simulated)));
        }
    };
    for (const char* name : kLoopbackNames)
        takeOrMake(name, nullptr);
    takeOrMake(virtualmidi::kDemoSynthName, m_demoSynth);
    return initial;
}

std::vector<std::shared_ptr<VirtualDevice>> VirtualDeviceRegistry::devices() const {
    std::lock_guard lock(m_mutex);
    return m_devices;
}

std::shared_ptr<VirtualDevice> VirtualDeviceRegistry::find(const std::string& name) const {
    std::lock_guard lock(m_mutex);
    for (const auto& device : m_devices) {
        if (device->name() == name)
            return device;
    }
    return nullptr;
}

void VirtualDeviceRegistry::add(const std::string& name,
                                std::shared_ptr<virtualmidi::SimulatedDevice> simulated) {
    std::lock_guard lock(m_mutex);
    m_devices.push_back(std::make_shared<VirtualDevice>(name, std::move(simulated)));
}

void VirtualDeviceRegistry::remove(const std::string& name) {
    std::vector<std::shared_ptr<VirtualDevice>> removed;
    {
        std::lock_guard lock(m_mutex);
        for (auto it = m_devices.begin(); it != m_devices.end();) {
            if ((*it)->name() == name) {
                removed.push_back(*it);
                it = m_devices.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (const auto& device : removed)
        device->remove();
}

void VirtualDeviceRegistry::reset() {
    std::vector<std::shared_ptr<VirtualDevice>> kept;
    std::vector<std::shared_ptr<VirtualDevice>> removed;
    {
        std::lock_guard lock(m_mutex);
        kept = takeInitialDevices();
        removed.swap(m_devices);
        m_devices = kept;
    }
    for (const auto& device : removed)
        device->remove();
    m_demoSynth->restorePreset();
    for (const auto& device : kept) {
        device->clearRecords();
        device->setLongMessageDuration(std::chrono::milliseconds(0));
    }
}

std::vector<std::string> VirtualBackend::deviceNames(Direction) {
    std::vector<std::string> names;
    for (const auto& device : VirtualDeviceRegistry::instance().devices())
        names.push_back(device->name());
    return names;
}

MMRESULT VirtualBackend::openInput(UINT index, MidiInputSink& sink,
                                   std::unique_ptr<MidiBackendInput>& input) {
    const auto devices = VirtualDeviceRegistry::instance().devices();
    if (index >= devices.size())
        return MMSYSERR_BADDEVICEID;
    input = std::make_unique<VirtualInput>(devices[index], sink);
    return MMSYSERR_NOERROR;
}

MMRESULT VirtualBackend::openOutput(UINT index, std::unique_ptr<MidiBackendOutput>& output) {
    const auto devices = VirtualDeviceRegistry::instance().devices();
    if (index >= devices.size())
        return MMSYSERR_BADDEVICEID;
    output = std::make_unique<VirtualOutput>(devices[index]);
    return MMSYSERR_NOERROR;
}

} // namespace dorvo::winmm
