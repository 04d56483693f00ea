// The calls the ALSA backend makes of the sequencer, and the clock it paces by. The program uses
// libasound and the machine's clock (AlsaLibrarySequencer); the tests use a model of the
// kernel's sequencer with a clock of its own, so that the backend runs in CI without /dev/snd.
#pragma once

#include <alsa/asoundlib.h>
#include <poll.h>

#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

namespace dorvo::winmm {

class AlsaSequencerApi {
public:
    struct Port {
        int client = -1;
        int port = -1;
        std::string clientName;
        std::string portName;
        unsigned int capability = 0;
        // A kernel client: a bridge to hardware (snd-seq-midi), with an output buffer that
        // drains at cable speed.
        bool kernelClient = false;
    };
    using Clock = std::chrono::steady_clock;

    virtual ~AlsaSequencerApi() = default;

    // Results are 0 or more on success, else a negative errno value, as libasound gives them.
    virtual int clientId() = 0;
    virtual int setClientName(const std::string& name) = 0;
    // The kernel's pool of events waiting for this client to read them.
    virtual int setInputPool(std::size_t events) = 0;
    // The user-space buffer that events are read into.
    virtual int setInputBufferSize(std::size_t bytes) = 0;

    // A port of this client; its number, or a negative error.
    virtual int createPort(const std::string& name, unsigned int capability) = 0;
    virtual int deletePort(int port) = 0;
    // Subscriptions: from another client's port to ours, and from ours to another's.
    virtual int connectFrom(int ownPort, int client, int port) = 0;
    virtual int connectTo(int ownPort, int client, int port) = 0;
    // Every port of every client, ours included, in client and port order.
    virtual std::vector<Port> ports() = 0;

    // One event, delivered at once to its destination; -EAGAIN (nothing delivered) when the
    // destination's pool is full.
    virtual int outputDirect(snd_seq_event_t& event) = 0;
    // The next event that arrived; -EAGAIN when none waits, -ENOSPC when the kernel dropped
    // events for this client. The event stays valid until the next call.
    virtual int input(snd_seq_event_t*& event) = 0;
    // Descriptors that become readable when events wait.
    virtual std::vector<pollfd> pollDescriptors() = 0;

    virtual Clock::time_point now() = 0;
    virtual void sleepUntil(Clock::time_point when) = 0;
};

} // namespace dorvo::winmm
