// The process's one ALSA sequencer client. Each open device is a port of this client,
// subscribed to (or from) the other client's port; a reader thread of the layer polls the
// sequencer and hands what arrives to the input sinks. Our ports are private: not listed to
// other clients and not open to their subscriptions.
#pragma once

#include "AlsaEvents.h"
#include "AlsaSequencerApi.h"
#include "Backend.h"
#include "MidiOutputSplitter.h"

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace dorvo::winmm {

struct AlsaDevice {
    std::string name;
    int client = -1;
    int port = -1;
    // Hardware behind a kernel client: output to it is paced to the cable.
    bool kernelClient = false;
};

struct AlsaInputPort {
    AlsaDevice device;
    int ownPort = -1;
    MidiInputSink* sink = nullptr;
    bool gone = false; // reader thread only
};

struct AlsaOutputPort {
    AlsaDevice device;
    int ownPort = -1;
    std::atomic<bool> gone{false};
    std::mutex producerMutex; // short and long messages take turns
    MidiOutputSplitter splitter;
    AlsaEventEncoder encoder;
};

class AlsaSequencer {
public:
    // Opens the machine's sequencer; null, with the reason, when that is not possible.
    static std::shared_ptr<AlsaSequencer> open(std::string& failure);
    // Over a sequencer of the caller's (the tests' model of the kernel's).
    static std::shared_ptr<AlsaSequencer> create(std::unique_ptr<AlsaSequencerApi> api,
                                                 std::string& failure);
    ~AlsaSequencer();
    AlsaSequencer(const AlsaSequencer&) = delete;
    AlsaSequencer& operator=(const AlsaSequencer&) = delete;

    // The other clients' ports that serve as devices of that direction, in client and port
    // order.
    std::vector<AlsaDevice> devices(Direction direction);

    MMRESULT openInput(const AlsaDevice& device, MidiInputSink& sink, AlsaInputPort*& opened);
    MMRESULT openOutput(const AlsaDevice& device, AlsaOutputPort*& opened);
    void closeInput(AlsaInputPort* input);
    void closeOutput(AlsaOutputPort* output);

    // Sends one event from the output's port to its device, directly, waiting while the
    // device's pool is full (up to a limit).
    MMRESULT send(AlsaOutputPort& output, snd_seq_event_t& event);

    AlsaSequencerApi& api() { return *m_api; }

private:
    AlsaSequencer(std::unique_ptr<AlsaSequencerApi> api, int wakeFd);
    int createPort(const std::string& name, unsigned int capability);
    void runReader();
    // False when reading cannot go on.
    bool readEvents(std::vector<std::uint8_t>& scratch);
    void dispatch(const snd_seq_event_t& event, std::vector<std::uint8_t>& scratch);
    void noticeAnnouncement(const snd_seq_event_t& event);
    void noticeGone(int client, int port, const char* reason);
    void noticeUnsubscribed(const snd_seq_addr_t& sender, const snd_seq_addr_t& dest);
    void allInputsLost(const char* reason);

    const std::unique_ptr<AlsaSequencerApi> m_api;
    const int m_clientId;
    const int m_wakeFd; // an eventfd that ends the reader's poll
    int m_announcePort = -1;
    std::atomic<bool> m_stop{false};

    std::mutex m_portsMutex;                // held by the reader thread while it delivers
    std::map<int, AlsaInputPort*> m_inputs; // by our port number
    std::vector<AlsaOutputPort*> m_outputs;
    std::atomic<unsigned> m_portCounter{0};
    AlsaEventDecoder m_decoder; // reader thread only

    std::mutex m_outputMutex; // the handle's output side is not thread-safe
    std::thread m_reader;
};

} // namespace dorvo::winmm
