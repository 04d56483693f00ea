// The process's one ALSA sequencer client. Each open device is a port of this client,
// subscribed to (or from) the other client's port; a reader thread of the layer polls the
// sequencer and hands what arrives to the input sinks.
#pragma once

#include "AlsaEvents.h"
#include "Backend.h"
#include "MidiOutputSplitter.h"

#include <alsa/asoundlib.h>

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
    // Opens the sequencer; null, with the reason, when that is not possible.
    static std::shared_ptr<AlsaSequencer> open(std::string& failure);
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

    // Sends one event from the output's port to its subscriber, directly, waiting while the
    // sequencer's pool is full (up to a limit).
    MMRESULT send(AlsaOutputPort& output, snd_seq_event_t& event);

private:
    AlsaSequencer(snd_seq_t* sequencer, int wakeFd);
    int createPort(const std::string& name, unsigned int capability);
    void runReader();
    void readEvents(std::vector<std::uint8_t>& scratch);
    void dispatch(const snd_seq_event_t& event, std::vector<std::uint8_t>& scratch);
    void noticeExit(int client, int port);

    snd_seq_t* const m_sequencer;
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
