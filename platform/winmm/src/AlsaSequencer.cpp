#include "AlsaSequencer.h"

#include <QtGlobal>

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>

namespace dorvo::winmm {

namespace {

using namespace std::chrono_literals;

constexpr const char* kClientName = "Dorvo";
// Room for the largest event another client may send us in one piece.
constexpr std::size_t kInputBufferBytes = 1u << 20;
// A destination that takes nothing for this long is stuck: the send fails.
constexpr auto kFullPoolLimit = 5s;

std::string alsaError(int code) {
    return snd_strerror(code);
}

// libasound prints its own complaints on stderr; ours say the same in the program's log.
void reportAlsaError(const char* file, int line, const char* function, int, const char* format,
                     ...) {
    char text[512];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    qDebug("ALSA: %s (%s:%d %s)", text, file, line, function);
}

} // namespace

std::shared_ptr<AlsaSequencer> AlsaSequencer::open(std::string& failure) {
    static std::once_flag quiet;
    std::call_once(quiet, [] { snd_lib_error_set_handler(&reportAlsaError); });
    snd_seq_t* sequencer = nullptr;
    int result = snd_seq_open(&sequencer, "default", SND_SEQ_OPEN_DUPLEX, SND_SEQ_NONBLOCK);
    if (result < 0) {
        failure = "the ALSA sequencer cannot be opened: " + alsaError(result);
        return nullptr;
    }
    snd_seq_set_client_name(sequencer, kClientName);
    snd_seq_set_input_buffer_size(sequencer, kInputBufferBytes);
    const int wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wakeFd < 0) {
        failure =
            std::string("no event descriptor for the sequencer reader: ") + std::strerror(errno);
        snd_seq_close(sequencer);
        return nullptr;
    }
    std::shared_ptr<AlsaSequencer> self(new AlsaSequencer(sequencer, wakeFd));
    // Announcements tell when a device's client or port goes away.
    self->m_announcePort =
        self->createPort("announcements", SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_NO_EXPORT);
    if (self->m_announcePort >= 0) {
        result = snd_seq_connect_from(sequencer, self->m_announcePort, SND_SEQ_CLIENT_SYSTEM,
                                      SND_SEQ_PORT_SYSTEM_ANNOUNCE);
        if (result < 0)
            qWarning("ALSA sequencer: no announcements (%s); unplugged devices go unnoticed",
                     alsaError(result).c_str());
    }
    self->m_reader = std::thread([raw = self.get()] { raw->runReader(); });
    return self;
}

AlsaSequencer::AlsaSequencer(snd_seq_t* sequencer, int wakeFd)
    : m_sequencer(sequencer), m_clientId(snd_seq_client_id(sequencer)), m_wakeFd(wakeFd) {}

AlsaSequencer::~AlsaSequencer() {
    m_stop = true;
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(m_wakeFd, &one, sizeof one);
    if (m_reader.joinable())
        m_reader.join();
    for (auto& [port, input] : m_inputs)
        delete input;
    for (AlsaOutputPort* output : m_outputs)
        delete output;
    snd_seq_close(m_sequencer);
    ::close(m_wakeFd);
}

std::vector<AlsaDevice> AlsaSequencer::devices(Direction direction) {
    std::vector<AlsaDevice> found;
    snd_seq_client_info_t* client = nullptr;
    snd_seq_port_info_t* port = nullptr;
    if (snd_seq_client_info_malloc(&client) < 0 || snd_seq_port_info_malloc(&port) < 0) {
        snd_seq_client_info_free(client);
        return found;
    }
    snd_seq_client_info_set_client(client, -1);
    while (snd_seq_query_next_client(m_sequencer, client) >= 0) {
        const int clientId = snd_seq_client_info_get_client(client);
        if (clientId == SND_SEQ_CLIENT_SYSTEM || clientId == m_clientId)
            continue;
        snd_seq_port_info_set_client(port, clientId);
        snd_seq_port_info_set_port(port, -1);
        while (snd_seq_query_next_port(m_sequencer, port) >= 0) {
            const AlsaPortUse use = alsaPortUse(snd_seq_port_info_get_capability(port));
            if (direction == Direction::Input ? !use.input : !use.output)
                continue;
            found.push_back({alsaDeviceName(snd_seq_client_info_get_name(client),
                                            snd_seq_port_info_get_name(port)),
                             clientId, snd_seq_port_info_get_port(port)});
        }
    }
    snd_seq_port_info_free(port);
    snd_seq_client_info_free(client);
    return found;
}

MMRESULT AlsaSequencer::openInput(const AlsaDevice& device, MidiInputSink& sink,
                                  AlsaInputPort*& opened) {
    auto input = std::make_unique<AlsaInputPort>();
    input->device = device;
    input->sink = &sink;
    input->ownPort = createPort("MIDI in " + std::to_string(++m_portCounter),
                                SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE);
    if (input->ownPort < 0)
        return MMSYSERR_NOMEM;
    const int result =
        snd_seq_connect_from(m_sequencer, input->ownPort, device.client, device.port);
    if (result < 0) {
        qWarning("ALSA sequencer: cannot subscribe to \"%s\": %s", device.name.c_str(),
                 alsaError(result).c_str());
        snd_seq_delete_simple_port(m_sequencer, input->ownPort);
        return result == -ENOENT || result == -ENXIO ? MMSYSERR_BADDEVICEID : MMSYSERR_ERROR;
    }
    std::lock_guard lock(m_portsMutex);
    // The port number is read before release(): the right side of an assignment runs first.
    const int ownPort = input->ownPort;
    opened = input.get();
    m_inputs[ownPort] = input.release();
    return MMSYSERR_NOERROR;
}

MMRESULT AlsaSequencer::openOutput(const AlsaDevice& device, AlsaOutputPort*& opened) {
    auto output = std::make_unique<AlsaOutputPort>();
    output->device = device;
    output->ownPort = createPort("MIDI out " + std::to_string(++m_portCounter),
                                 SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ);
    if (output->ownPort < 0)
        return MMSYSERR_NOMEM;
    const int result = snd_seq_connect_to(m_sequencer, output->ownPort, device.client, device.port);
    if (result < 0) {
        qWarning("ALSA sequencer: cannot subscribe \"%s\": %s", device.name.c_str(),
                 alsaError(result).c_str());
        snd_seq_delete_simple_port(m_sequencer, output->ownPort);
        return result == -ENOENT || result == -ENXIO ? MMSYSERR_BADDEVICEID : MMSYSERR_ERROR;
    }
    std::lock_guard lock(m_portsMutex);
    opened = output.get();
    m_outputs.push_back(output.release());
    return MMSYSERR_NOERROR;
}

void AlsaSequencer::closeInput(AlsaInputPort* input) {
    {
        // The reader delivers under this lock: after it, the sink hears nothing more.
        std::lock_guard lock(m_portsMutex);
        m_inputs.erase(input->ownPort);
    }
    // Deleting the port ends its subscriptions too.
    snd_seq_delete_simple_port(m_sequencer, input->ownPort);
    delete input;
}

void AlsaSequencer::closeOutput(AlsaOutputPort* output) {
    {
        std::lock_guard lock(m_portsMutex);
        std::erase(m_outputs, output);
    }
    snd_seq_delete_simple_port(m_sequencer, output->ownPort);
    delete output;
}

MMRESULT AlsaSequencer::send(AlsaOutputPort& output, snd_seq_event_t& event) {
    if (output.gone)
        return MIDIERR_NODEVICE;
    snd_seq_ev_set_source(&event, output.ownPort);
    snd_seq_ev_set_subs(&event);
    snd_seq_ev_set_direct(&event);
    const auto deadline = std::chrono::steady_clock::now() + kFullPoolLimit;
    for (;;) {
        int result = 0;
        {
            std::lock_guard lock(m_outputMutex);
            result = snd_seq_event_output_direct(m_sequencer, &event);
            if (result >= 0)
                snd_seq_drain_output(m_sequencer);
        }
        if (result >= 0)
            return MMSYSERR_NOERROR;
        if (result != -EAGAIN && result != -ENOMEM) {
            qWarning("ALSA sequencer: sending to \"%s\" failed: %s", output.device.name.c_str(),
                     alsaError(result).c_str());
            return output.gone ? MIDIERR_NODEVICE : MMSYSERR_ERROR;
        }
        // The pool is full: the destination is still taking earlier events.
        if (output.gone)
            return MIDIERR_NODEVICE;
        if (std::chrono::steady_clock::now() > deadline) {
            qWarning("ALSA sequencer: \"%s\" takes no events", output.device.name.c_str());
            return MMSYSERR_ERROR;
        }
        std::this_thread::sleep_for(1ms);
    }
}

int AlsaSequencer::createPort(const std::string& name, unsigned int capability) {
    const int port =
        snd_seq_create_simple_port(m_sequencer, name.c_str(), capability,
                                   SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
    if (port < 0)
        qWarning("ALSA sequencer: cannot create port \"%s\": %s", name.c_str(),
                 alsaError(port).c_str());
    return port;
}

void AlsaSequencer::runReader() {
    const int count = snd_seq_poll_descriptors_count(m_sequencer, POLLIN);
    std::vector<pollfd> fds(std::size_t(count > 0 ? count : 0) + 1);
    fds[0] = {m_wakeFd, POLLIN, 0};
    snd_seq_poll_descriptors(m_sequencer, fds.data() + 1, unsigned(fds.size() - 1), POLLIN);
    std::vector<std::uint8_t> scratch;
    while (!m_stop) {
        if (::poll(fds.data(), fds.size(), 500) < 0 && errno != EINTR) {
            qWarning("ALSA sequencer: poll failed: %s; MIDI input stops", std::strerror(errno));
            return;
        }
        if (m_stop)
            return;
        readEvents(scratch);
    }
}

void AlsaSequencer::readEvents(std::vector<std::uint8_t>& scratch) {
    for (;;) {
        snd_seq_event_t* event = nullptr;
        const int result = snd_seq_event_input(m_sequencer, &event);
        if (result == -EAGAIN || result == -EINTR)
            return;
        if (result == -ENOSPC) {
            // The sequencer dropped events for us: every input may have lost bytes.
            std::lock_guard lock(m_portsMutex);
            for (auto& [port, input] : m_inputs)
                input->sink->bytesLost();
            continue;
        }
        if (result < 0) {
            qWarning("ALSA sequencer: reading failed: %s", alsaError(result).c_str());
            return;
        }
        if (event)
            dispatch(*event, scratch);
    }
}

void AlsaSequencer::dispatch(const snd_seq_event_t& event, std::vector<std::uint8_t>& scratch) {
    if (event.dest.port == m_announcePort) {
        if (event.type == SND_SEQ_EVENT_PORT_EXIT)
            noticeExit(event.data.addr.client, event.data.addr.port);
        else if (event.type == SND_SEQ_EVENT_CLIENT_EXIT)
            noticeExit(event.data.addr.client, -1);
        return;
    }
    std::lock_guard lock(m_portsMutex);
    const auto it = m_inputs.find(event.dest.port);
    if (it == m_inputs.end())
        return;
    scratch.clear();
    if (m_decoder.decode(event, scratch))
        it->second->sink->receiveBytes(scratch.data(), scratch.size());
}

void AlsaSequencer::noticeExit(int client, int port) {
    const auto matches = [&](const AlsaDevice& device) {
        return device.client == client && (port < 0 || device.port == port);
    };
    std::lock_guard lock(m_portsMutex);
    for (auto& [own, input] : m_inputs) {
        if (!input->gone && matches(input->device)) {
            input->gone = true;
            input->sink->deviceLost("its ALSA sequencer port went away");
        }
    }
    for (AlsaOutputPort* output : m_outputs) {
        if (matches(output->device))
            output->gone = true;
    }
}

} // namespace dorvo::winmm
