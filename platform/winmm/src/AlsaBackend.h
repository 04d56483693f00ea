// Devices of the ALSA sequencer: the other clients' ports, named "client:port".
#pragma once

#include "Backend.h"

#include <memory>
#include <string>

namespace dorvo::winmm {

class AlsaSequencer;

class AlsaBackend final : public MidiBackend {
public:
    // Opens the sequencer at once; without it the backend lists no devices.
    AlsaBackend();
    ~AlsaBackend() override;

    // Whether this machine has a sequencer device that the process may open.
    static bool sequencerPresent();

    bool isOpen() const { return m_sequencer != nullptr; }
    const std::string& failure() const { return m_failure; }

    std::vector<std::string> deviceNames(Direction direction) override;
    MMRESULT openInput(UINT index, MidiInputSink& sink,
                       std::unique_ptr<MidiBackendInput>& input) override;
    MMRESULT openOutput(UINT index, std::unique_ptr<MidiBackendOutput>& output) override;

private:
    std::shared_ptr<AlsaSequencer> m_sequencer;
    std::string m_failure;
};

} // namespace dorvo::winmm
