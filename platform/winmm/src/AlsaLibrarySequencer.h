// The sequencer of this machine through libasound, and the machine's clock.
#pragma once

#include "AlsaSequencerApi.h"

#include <memory>

namespace dorvo::winmm {

class AlsaLibrarySequencer final : public AlsaSequencerApi {
public:
    // Opens the sequencer; null, with the reason, when that is not possible.
    static std::unique_ptr<AlsaLibrarySequencer> open(std::string& failure);
    ~AlsaLibrarySequencer() override;
    AlsaLibrarySequencer(const AlsaLibrarySequencer&) = delete;
    AlsaLibrarySequencer& operator=(const AlsaLibrarySequencer&) = delete;

    int clientId() override;
    int setClientName(const std::string& name) override;
    int setInputPool(std::size_t events) override;
    int setInputBufferSize(std::size_t bytes) override;
    int createPort(const std::string& name, unsigned int capability) override;
    int deletePort(int port) override;
    int connectFrom(int ownPort, int client, int port) override;
    int connectTo(int ownPort, int client, int port) override;
    std::vector<Port> ports() override;
    int outputDirect(snd_seq_event_t& event) override;
    int input(snd_seq_event_t*& event) override;
    std::vector<pollfd> pollDescriptors() override;
    Clock::time_point now() override;
    void sleepUntil(Clock::time_point when) override;

private:
    explicit AlsaLibrarySequencer(snd_seq_t* sequencer) : m_sequencer(sequencer) {}

    snd_seq_t* const m_sequencer;
};

} // namespace dorvo::winmm
