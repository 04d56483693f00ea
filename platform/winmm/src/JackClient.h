// The process's one JACK client. Each open device is a port of this client connected to the
// other client's port. The real-time process callback moves bytes between the JACK port buffers
// and lock-free rings; a thread of the layer empties the input rings into the input sinks.
#pragma once

#include "Backend.h"
#include "MidiOutputSplitter.h"
#include "SpscByteRing.h"

#include <jack/jack.h>
#include <semaphore.h>

#include <array>
#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace dorvo::winmm {

// An open input: the client's port and the ring that the process callback fills.
struct JackInputPort {
    explicit JackInputPort(std::string device) : deviceName(std::move(device)) {}
    const std::string deviceName; // the full name of the other client's port
    jack_port_t* port = nullptr;
    MidiInputSink* sink = nullptr;
    // Records: an InputRecordHeader, then that many bytes; length 0 marks bytes lost.
    SpscByteRing ring{1u << 20};
    bool lossPending = false; // touched by the process callback only
    bool gone = false;        // touched by the layer thread only
};

// An open output: the ring that producers fill and the process callback empties into the
// port's buffer, a piece per period when a message is larger than the buffer.
struct JackOutputPort {
    explicit JackOutputPort(std::string device) : deviceName(std::move(device)) {}
    const std::string deviceName;
    jack_port_t* port = nullptr;
    // Records: an OutputRecordHeader, then that many bytes.
    SpscByteRing ring{1u << 16};
    std::atomic<bool> gone{false};
    // The process callback's place in the record it is writing.
    std::uint32_t remaining = 0;
    bool remainingIsSysex = false;
    jack_nframes_t departure = 0;
    // Producers (short messages on the caller's thread, long ones on the sender thread) take
    // turns under this lock; the process callback never takes it.
    std::mutex producerMutex;
    MidiOutputSplitter splitter;
};

struct InputRecordHeader {
    std::uint32_t length;
    jack_nframes_t arrival; // the frame time at which the event arrived
};

struct OutputRecordHeader {
    std::uint32_t length;     // with kSysexPiece for bytes that may be split
    jack_nframes_t departure; // the frame time from which the event may leave
};

inline constexpr std::uint32_t kSysexPiece = 0x80000000u;

class JackClient {
public:
    // Connects to the server named by JACK_DEFAULT_SERVER (or the default one) without ever
    // starting one; null, with the reason, when none answers.
    static std::shared_ptr<JackClient> connect(std::string& failure);
    ~JackClient();
    JackClient(const JackClient&) = delete;
    JackClient& operator=(const JackClient&) = delete;

    static std::string serverName();
    // Leaves the server cleanly while the process ends: a client that just vanishes holds the
    // server's cycle up until the server notices. Everything fails as after a shutdown.
    void closeAtExit();
    bool isShutDown() const { return m_shutDown.load(); }
    // The other clients' MIDI ports: their outputs are our inputs and the other way round.
    std::vector<std::string> portNames(Direction direction);

    MMRESULT openInput(const std::string& source, MidiInputSink& sink, JackInputPort*& opened);
    MMRESULT openOutput(const std::string& destination, JackOutputPort*& opened);
    void closeInput(JackInputPort* input);
    void closeOutput(JackOutputPort* output);

    // The frame at which a message that arrived at `eventTime` (see EventTime.h; 0: now) is to
    // leave: one period after its arrival, so that what passes through keeps its spacing.
    jack_nframes_t departureFrame(std::uint32_t eventTime) const;

private:
    static constexpr std::size_t kMaxPorts = 64;

    explicit JackClient(jack_client_t* client);
    static int process(jack_nframes_t frames, void* self);
    static void serverShutDown(void* self);
    static void portRegistered(jack_port_id_t port, int registered, void* self);
    void readInput(JackInputPort& input, jack_nframes_t frames, jack_nframes_t cycleStart);
    void writeOutput(JackOutputPort& output, jack_nframes_t frames, jack_nframes_t cycleStart);
    std::uint32_t eventTimeOfFrame(jack_nframes_t frame) const;

    void runLayerThread();
    void stopLayerThread();
    void drainInputs(std::vector<std::uint8_t>& scratch);
    void noticeShutdown();
    void noticeVanishedPorts();
    bool waitForCycles(int cycles);
    std::string newPortName(const char* prefix);

    jack_client_t* const m_client;
    const std::string m_clientName;
    std::array<std::atomic<JackInputPort*>, kMaxPorts> m_inputSlots{};
    std::array<std::atomic<JackOutputPort*>, kMaxPorts> m_outputSlots{};
    std::atomic<std::uint64_t> m_cycles{0};
    // The process callback's own: the period it last worked on.
    jack_nframes_t m_lastCycleStart = 0;
    std::uint64_t m_periodsSeen = 0;
    std::atomic<bool> m_shutDown{false};
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_closed{false};
    sem_t m_wake; // posted by the process callback: sem_post neither blocks nor allocates

    std::mutex m_portsMutex; // held by the layer thread while it delivers
    std::vector<JackInputPort*> m_inputs;
    std::vector<JackOutputPort*> m_outputs;
    bool m_shutdownNoticed = false;
    std::mutex m_vanishedMutex; // the notification thread's names for the layer thread
    std::vector<std::string> m_vanishedPorts;
    unsigned m_portCounter = 0;
    std::thread m_layerThread;
};

} // namespace dorvo::winmm
