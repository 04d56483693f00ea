// Devices of the ALSA sequencer: the other clients' ports, named "client:port".
#pragma once

#include "Backend.h"

#include <array>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace dorvo::winmm {

class AlsaSequencer;
class AlsaSequencerApi;
struct AlsaDevice;

class AlsaBackend final : public MidiBackend {
public:
    // Opens the sequencer at once; without it the backend lists no devices.
    AlsaBackend();
    // Over a sequencer of the caller's (the tests' model of the kernel's).
    explicit AlsaBackend(std::unique_ptr<AlsaSequencerApi> api);
    ~AlsaBackend() override;

    // Whether this machine has a sequencer device that the process may open.
    static bool sequencerPresent();

    bool isOpen() const { return m_sequencer != nullptr; }
    const std::string& failure() const { return m_failure; }

    void refreshDevices(Direction direction) override;
    std::vector<std::string> deviceNames(Direction direction) override;
    MMRESULT openInput(UINT index, MidiInputSink& sink,
                       std::unique_ptr<MidiBackendInput>& input) override;
    MMRESULT openOutput(UINT index, std::unique_ptr<MidiBackendOutput>& output) override;

private:
    // Takes the direction's list unless one was taken already.
    void listOnce(Direction direction);
    // The device of the list taken last, found again now by its name: another client may have
    // taken its numbers since. False when it is no longer there.
    bool currentDevice(Direction direction, UINT index, AlsaDevice& device);

    std::shared_ptr<AlsaSequencer> m_sequencer;
    std::string m_failure;
    std::mutex m_listMutex;
    std::array<std::vector<AlsaDevice>, 2> m_lists;
    std::array<bool, 2> m_listed{false, false};
};

} // namespace dorvo::winmm
