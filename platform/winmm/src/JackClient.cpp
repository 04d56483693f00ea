#include "JackClient.h"

#include "DevicesChanged.h"
#include "EventTime.h"

#include <jack/midiport.h>

#include <QtGlobal>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <mutex>
#include <string_view>

namespace dorvo::winmm {

namespace {

constexpr const char* kClientName = "Dorvo";
// A system-exclusive record larger than this leaves in several events; receivers that keep
// events in fixed buffers take pieces of this size.
constexpr std::size_t kMaxEventBytes = 4096;
// How long a closing port waits for the process callback to let go of it.
constexpr auto kCycleWait = std::chrono::seconds(5);

void reportJackError(const char* text) {
    qDebug("JACK: %s", text);
}

void ignoreJackInfo(const char*) {}

std::string describeStatus(jack_status_t status) {
    if (status & JackServerFailed)
        return "no JACK server \"" + JackClient::serverName() + "\" answers";
    if (status & JackVersionError)
        return "the JACK server speaks another protocol version";
    if (status & JackShmFailure)
        return "JACK's shared memory is not accessible";
    return "the JACK server refused the client (status " + std::to_string(int(status)) + ")";
}

timespec realtimeIn(std::chrono::milliseconds delay) {
    timespec when{};
    clock_gettime(CLOCK_REALTIME, &when);
    when.tv_nsec += long(delay.count()) * 1000000L;
    when.tv_sec += when.tv_nsec / 1000000000L;
    when.tv_nsec %= 1000000000L;
    return when;
}

} // namespace

std::shared_ptr<JackClient> JackClient::connect(std::string& failure) {
    static std::once_flag quiet;
    std::call_once(quiet, [] {
        // A missing server is an ordinary answer here, not something to print on stderr.
        jack_set_error_function(reportJackError);
        jack_set_info_function(ignoreJackInfo);
    });
    jack_status_t status{};
    jack_client_t* handle = jack_client_open(kClientName, JackNoStartServer, &status);
    if (handle == nullptr) {
        failure = describeStatus(status);
        return nullptr;
    }
    std::shared_ptr<JackClient> client(new JackClient(handle));
    JackClient* self = client.get();
    if (jack_set_process_callback(handle, &JackClient::process, self) != 0 ||
        jack_set_port_registration_callback(handle, &JackClient::portRegistered, self) != 0) {
        failure = "the JACK server refused the client's callbacks";
        return nullptr;
    }
    jack_on_shutdown(handle, &JackClient::serverShutDown, self);
    if (jack_activate(handle) != 0) {
        failure = "the JACK client could not be activated";
        return nullptr;
    }
    return client;
}

JackClient::JackClient(jack_client_t* client)
    : m_client(client), m_clientName(jack_get_client_name(client)) {
    sem_init(&m_wake, 0, 0);
    m_layerThread = std::thread([this] { runLayerThread(); });
}

JackClient::~JackClient() {
    stopLayerThread();
    // Once the server is gone libjack frees its clients itself: the handle must not be used.
    if (!isShutDown() && !m_closed.exchange(true)) {
        jack_deactivate(m_client);
        jack_client_close(m_client);
    }
    for (JackInputPort* input : m_inputs)
        delete input;
    for (JackOutputPort* output : m_outputs)
        delete output;
    sem_destroy(&m_wake);
}

void JackClient::closeAtExit() {
    stopLayerThread();
    if (m_shutDown.exchange(true) || m_closed.exchange(true))
        return;
    jack_deactivate(m_client);
    jack_client_close(m_client);
}

void JackClient::stopLayerThread() {
    m_stop = true;
    sem_post(&m_wake);
    if (m_layerThread.get_id() == std::this_thread::get_id())
        m_layerThread.detach();
    else if (m_layerThread.joinable())
        m_layerThread.join();
}

std::string JackClient::serverName() {
    const char* name = std::getenv("JACK_DEFAULT_SERVER");
    return name && *name ? name : "default";
}

std::vector<std::string> JackClient::portNames(Direction direction) {
    std::vector<std::string> names;
    if (isShutDown())
        return names;
    const unsigned long flags = direction == Direction::Input ? JackPortIsOutput : JackPortIsInput;
    const char** ports = jack_get_ports(m_client, nullptr, JACK_DEFAULT_MIDI_TYPE, flags);
    if (ports == nullptr)
        return names;
    const std::string own = m_clientName + ":";
    for (const char** port = ports; *port != nullptr; ++port) {
        if (std::string_view(*port).substr(0, own.size()) != own)
            names.emplace_back(*port);
    }
    jack_free(ports);
    return names;
}

MMRESULT JackClient::openInput(const std::string& source, MidiInputSink& sink,
                               JackInputPort*& opened) {
    if (isShutDown())
        return MMSYSERR_NODRIVER;
    auto input = std::make_unique<JackInputPort>(source);
    input->sink = &sink;
    input->port = jack_port_register(m_client, newPortName("midi_in_").c_str(),
                                     JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
    if (input->port == nullptr)
        return MMSYSERR_NOMEM;
    JackInputPort* raw = input.get();
    {
        std::lock_guard lock(m_portsMutex);
        const auto free = std::find(m_inputSlots.begin(), m_inputSlots.end(), nullptr);
        if (free == m_inputSlots.end()) {
            jack_port_unregister(m_client, raw->port);
            return MMSYSERR_NOMEM;
        }
        m_inputs.push_back(input.release());
        free->store(raw, std::memory_order_release);
    }
    const int result = jack_connect(m_client, source.c_str(), jack_port_name(raw->port));
    if (result != 0 && result != EEXIST) {
        const bool exists = jack_port_by_name(m_client, source.c_str()) != nullptr;
        closeInput(raw);
        return exists ? MMSYSERR_ERROR : MMSYSERR_BADDEVICEID;
    }
    opened = raw;
    return MMSYSERR_NOERROR;
}

MMRESULT JackClient::openOutput(const std::string& destination, JackOutputPort*& opened) {
    if (isShutDown())
        return MMSYSERR_NODRIVER;
    auto output = std::make_unique<JackOutputPort>(destination);
    output->port = jack_port_register(m_client, newPortName("midi_out_").c_str(),
                                      JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    if (output->port == nullptr)
        return MMSYSERR_NOMEM;
    JackOutputPort* raw = output.get();
    {
        std::lock_guard lock(m_portsMutex);
        const auto free = std::find(m_outputSlots.begin(), m_outputSlots.end(), nullptr);
        if (free == m_outputSlots.end()) {
            jack_port_unregister(m_client, raw->port);
            return MMSYSERR_NOMEM;
        }
        m_outputs.push_back(output.release());
        free->store(raw, std::memory_order_release);
    }
    const int result = jack_connect(m_client, jack_port_name(raw->port), destination.c_str());
    if (result != 0 && result != EEXIST) {
        const bool exists = jack_port_by_name(m_client, destination.c_str()) != nullptr;
        closeOutput(raw);
        return exists ? MMSYSERR_ERROR : MMSYSERR_BADDEVICEID;
    }
    opened = raw;
    return MMSYSERR_NOERROR;
}

void JackClient::closeInput(JackInputPort* input) {
    {
        // The layer thread delivers under this lock: after it, the sink hears nothing more.
        std::lock_guard lock(m_portsMutex);
        std::erase(m_inputs, input);
        for (auto& slot : m_inputSlots) {
            if (slot.load() == input)
                slot.store(nullptr);
        }
    }
    if (!waitForCycles(2)) {
        // The process callback may still hold it; a small leak is better than a crash.
        qWarning("JACK server \"%s\" runs no process cycles; MIDI input port left behind",
                 serverName().c_str());
        return;
    }
    if (!isShutDown())
        jack_port_unregister(m_client, input->port);
    delete input;
}

void JackClient::closeOutput(JackOutputPort* output) {
    // Disconnected first: the port's buffer is not cleared once the callback lets go of it,
    // and what was last in it must not reach the device again.
    if (!isShutDown())
        jack_port_disconnect(m_client, output->port);
    {
        std::lock_guard lock(m_portsMutex);
        std::erase(m_outputs, output);
        for (auto& slot : m_outputSlots) {
            if (slot.load() == output)
                slot.store(nullptr);
        }
    }
    if (!waitForCycles(2)) {
        qWarning("JACK server \"%s\" runs no process cycles; MIDI output port left behind",
                 serverName().c_str());
        return;
    }
    if (!isShutDown())
        jack_port_unregister(m_client, output->port);
    delete output;
}

jack_nframes_t JackClient::departureFrame(std::uint32_t eventTime) const {
    // Bounded, so that a stale or foreign time cannot hold a message back.
    constexpr std::int64_t kEarliest = -10'000'000, kLatest = 1'000'000;
    const std::int64_t fromNow =
        eventTime == 0 ? 0
                       : std::clamp<std::int64_t>(eventTimeFromNow(eventTime), kEarliest, kLatest);
    const auto arrival = jack_time_t(std::int64_t(jack_get_time()) + fromNow);
    return jack_time_to_frames(m_client, arrival) + jack_get_buffer_size(m_client);
}

std::uint32_t JackClient::eventTimeOfFrame(jack_nframes_t frame) const {
    const std::int64_t fromNow =
        std::int64_t(jack_frames_to_time(m_client, frame)) - std::int64_t(jack_get_time());
    const auto time = eventTimeNow() + std::uint32_t(std::int32_t(fromNow));
    return time == 0 ? 1 : time;
}

// Real-time thread: no locks, no allocation, no blocking calls from here on.
int JackClient::process(jack_nframes_t frames, void* arg) {
    auto* self = static_cast<JackClient*>(arg);
    const jack_nframes_t cycleStart = jack_last_frame_time(self->m_client);
    // A callback that ran late can be called a second time for the same period: its input
    // buffers would be read again (a repeated batch) and its output buffer, perhaps not yet
    // taken, written over (a lost one). That period is done already.
    if (self->m_periodsSeen != 0 && cycleStart == self->m_lastCycleStart) {
        self->m_cycles.fetch_add(1, std::memory_order_release);
        return 0;
    }
    self->m_lastCycleStart = cycleStart;
    ++self->m_periodsSeen;
    for (auto& slot : self->m_inputSlots) {
        if (JackInputPort* input = slot.load(std::memory_order_acquire))
            self->readInput(*input, frames, cycleStart);
    }
    for (auto& slot : self->m_outputSlots) {
        if (JackOutputPort* output = slot.load(std::memory_order_acquire))
            self->writeOutput(*output, frames, cycleStart);
    }
    self->m_cycles.fetch_add(1, std::memory_order_release);
    return 0;
}

void JackClient::readInput(JackInputPort& input, jack_nframes_t frames, jack_nframes_t cycleStart) {
    void* buffer = jack_port_get_buffer(input.port, frames);
    const std::uint32_t count = jack_midi_get_event_count(buffer);
    bool delivered = false;
    for (std::uint32_t i = 0; i < count; ++i) {
        jack_midi_event_t event;
        if (jack_midi_event_get(&event, buffer, i) != 0 || event.size == 0)
            continue;
        if (input.lossPending) {
            const InputRecordHeader lossMark{0, cycleStart};
            if (!input.ring.write(&lossMark, sizeof lossMark))
                continue; // still full: this event is lost too
            input.lossPending = false;
        }
        const InputRecordHeader header{std::uint32_t(event.size), cycleStart + event.time};
        if (input.ring.write(&header, sizeof header, event.buffer, event.size))
            delivered = true;
        else
            input.lossPending = true;
    }
    if (delivered)
        sem_post(&m_wake); // wakes the layer thread; never blocks
}

void JackClient::writeOutput(JackOutputPort& output, jack_nframes_t frames,
                             jack_nframes_t cycleStart) {
    void* buffer = jack_port_get_buffer(output.port, frames);
    jack_midi_clear_buffer(buffer);
    jack_nframes_t offset = 0; // a buffer's events go in time order
    for (;;) {
        if (output.remaining == 0) {
            OutputRecordHeader header{};
            if (!output.ring.read(&header, sizeof header))
                return;
            output.remainingIsSysex = (header.length & kSysexPiece) != 0;
            output.remaining = header.length & ~kSysexPiece;
            output.departure = header.departure;
            continue;
        }
        // Signed: a departure in the past (the message came late) means "at once".
        const std::int32_t due = std::int32_t(output.departure - cycleStart);
        if (due >= std::int32_t(frames))
            return; // this and everything behind it leave in a later period
        offset = std::max(offset, jack_nframes_t(std::max(due, 0)));
        const std::size_t room = jack_midi_max_event_size(buffer);
        std::size_t size = output.remaining;
        if (output.remainingIsSysex)
            size = std::min({size, room, kMaxEventBytes});
        else if (size > room)
            size = 0; // a short message waits for the next period whole
        if (size == 0)
            return;
        jack_midi_data_t* data = jack_midi_event_reserve(buffer, offset, size);
        if (data == nullptr)
            return;
        output.ring.read(data, size); // the record's body came with its header
        output.remaining -= std::uint32_t(size);
    }
}

void JackClient::serverShutDown(void* arg) {
    auto* self = static_cast<JackClient*>(arg);
    self->m_shutDown = true;
    sem_post(&self->m_wake);
}

// JACK's notification thread, not the real-time one. By the time the layer thread looks, the
// port may still be found by name for a while, so its name is taken here, while the id is good.
void JackClient::portRegistered(jack_port_id_t id, int registered, void* arg) {
    auto* self = static_cast<JackClient*>(arg);
    const jack_port_t* port = jack_port_by_id(self->m_client, id);
    const char* name = port ? jack_port_name(port) : nullptr;
    if (name == nullptr)
        return;
    // Our own ports come and go with every open; only other clients' are devices.
    if (std::string_view(name).rfind(self->m_clientName + ':', 0) != 0)
        notifyDevicesChanged();
    if (registered)
        return;
    {
        std::lock_guard lock(self->m_vanishedMutex);
        self->m_vanishedPorts.emplace_back(name);
    }
    sem_post(&self->m_wake);
}

void JackClient::runLayerThread() {
    std::vector<std::uint8_t> scratch;
    while (!m_stop) {
        // Timed, so that a lost wake-up costs a moment and not the data.
        const timespec deadline = realtimeIn(std::chrono::milliseconds(100));
        while (sem_timedwait(&m_wake, &deadline) != 0 && errno == EINTR) {
        }
        if (m_stop)
            break;
        drainInputs(scratch);
        if (m_shutDown)
            noticeShutdown();
        noticeVanishedPorts();
    }
}

void JackClient::drainInputs(std::vector<std::uint8_t>& scratch) {
    std::lock_guard lock(m_portsMutex);
    for (JackInputPort* input : m_inputs) {
        InputRecordHeader header{};
        while (input->ring.read(&header, sizeof header)) {
            if (header.length == 0) {
                input->sink->bytesLost();
                continue;
            }
            scratch.resize(header.length);
            input->ring.read(scratch.data(), header.length);
            const ScopedEventTime arrival(eventTimeOfFrame(header.arrival));
            input->sink->receiveBytes(scratch.data(), header.length);
        }
    }
}

void JackClient::noticeShutdown() {
    std::lock_guard lock(m_portsMutex);
    if (m_shutdownNoticed)
        return;
    m_shutdownNoticed = true;
    qWarning("The JACK server \"%s\" went away; its MIDI devices are gone", serverName().c_str());
    for (JackInputPort* input : m_inputs) {
        input->gone = true;
        input->sink->deviceLost("the JACK server went away");
    }
    for (JackOutputPort* output : m_outputs)
        output->gone = true;
}

void JackClient::noticeVanishedPorts() {
    std::vector<std::string> vanished;
    {
        std::lock_guard lock(m_vanishedMutex);
        vanished.swap(m_vanishedPorts);
    }
    if (vanished.empty())
        return;
    const auto isVanished = [&](const std::string& name) {
        return std::find(vanished.begin(), vanished.end(), name) != vanished.end();
    };
    std::lock_guard lock(m_portsMutex);
    for (JackInputPort* input : m_inputs) {
        if (!input->gone && isVanished(input->deviceName)) {
            input->gone = true;
            input->sink->deviceLost("its JACK port went away");
        }
    }
    for (JackOutputPort* output : m_outputs) {
        if (isVanished(output->deviceName))
            output->gone = true;
    }
}

bool JackClient::waitForCycles(int cycles) {
    const std::uint64_t target = m_cycles.load() + std::uint64_t(cycles);
    const auto deadline = std::chrono::steady_clock::now() + kCycleWait;
    while (m_cycles.load() < target) {
        if (isShutDown())
            return true; // no callback runs any more
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

std::string JackClient::newPortName(const char* prefix) {
    std::lock_guard lock(m_portsMutex);
    return prefix + std::to_string(++m_portCounter);
}

} // namespace dorvo::winmm
