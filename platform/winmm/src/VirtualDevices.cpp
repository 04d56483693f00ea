// The controls of <dorvo/virtualmidi.h> over the process's virtual devices.
#include "DevicesChanged.h"
#include "VirtualBackend.h"

#include <dorvo/virtualmidi.h>

#include <QtGlobal>

using dorvo::winmm::VirtualDeviceRegistry;

namespace dorvo::virtualmidi {

void addLoopback(const std::string& name) {
    VirtualDeviceRegistry::instance().add(name, nullptr);
    dorvo::winmm::notifyDevicesChanged();
}

void addDevice(const std::string& name, std::shared_ptr<SimulatedDevice> device) {
    if (!device) {
        qWarning("virtual MIDI device \"%s\" not added: no simulated device given", name.c_str());
        return;
    }
    VirtualDeviceRegistry::instance().add(name, std::move(device));
    dorvo::winmm::notifyDevicesChanged();
}

void removeDevice(const std::string& name) {
    VirtualDeviceRegistry::instance().remove(name);
    dorvo::winmm::notifyDevicesChanged();
}

std::shared_ptr<SimulatedDevice> makeDemoSynth(SynthTiming timing) {
    return std::make_shared<dorvo::winmm::SimulatedSynth>(timing);
}

void reset() {
    VirtualDeviceRegistry::instance().reset();
}

void inject(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    const auto device = VirtualDeviceRegistry::instance().find(name);
    if (!device) {
        qWarning("no virtual MIDI device \"%s\" to inject into", name.c_str());
        return;
    }
    device->emitBytes(bytes.data(), bytes.size());
}

std::vector<SentMessage> sentMessages(const std::string& name) {
    const auto device = VirtualDeviceRegistry::instance().find(name);
    return device ? device->sentMessages() : std::vector<SentMessage>{};
}

void clearSent(const std::string& name) {
    if (const auto device = VirtualDeviceRegistry::instance().find(name))
        device->clearRecords();
}

void setLongMessageDuration(const std::string& name, std::chrono::milliseconds duration) {
    const auto device = VirtualDeviceRegistry::instance().find(name);
    if (!device) {
        qWarning("no virtual MIDI device \"%s\" to slow down", name.c_str());
        return;
    }
    device->setLongMessageDuration(duration);
}

} // namespace dorvo::virtualmidi
