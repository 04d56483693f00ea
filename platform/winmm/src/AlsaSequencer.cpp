#include "AlsaSequencer.h"

#include "AlsaLibrarySequencer.h"
#include "DevicesChanged.h"

#include <QtGlobal>

#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <mutex>

namespace dorvo::winmm {

namespace {

using namespace std::chrono_literals;

constexpr const char* kClientName = "Dorvo";
// Room for the largest event another client may send us in one piece.
constexpr std::size_t kInputBufferBytes = 1u << 20;
// The kernel keeps this many events for us while the reader is away (its default is 200, a
// moment of a dense stream); a burst beyond is counted as loss.
constexpr std::size_t kInputPoolEvents = 2000;
// A destination that takes nothing for this long is stuck: the send fails.
constexpr auto kFullPoolLimit = 5s;
// Ours only: no other client sees these ports or subscribes to them. The subscriptions we make
// ourselves need no permission on our own side.
constexpr unsigned int kPrivate = SND_SEQ_PORT_CAP_NO_EXPORT;

std::string alsaError(int code) {
    return snd_strerror(code);
}

} // namespace

std::shared_ptr<AlsaSequencer> AlsaSequencer::open(std::string& failure) {
    std::unique_ptr<AlsaSequencerApi> api = AlsaLibrarySequencer::open(failure);
    if (!api)
        return nullptr;
    return create(std::move(api), failure);
}

std::shared_ptr<AlsaSequencer> AlsaSequencer::create(std::unique_ptr<AlsaSequencerApi> api,
                                                     std::string& failure) {
    api->setClientName(kClientName);
    if (const int result = api->setInputPool(kInputPoolEvents); result < 0)
        qWarning("ALSA sequencer: the input pool keeps its size (%s)", alsaError(result).c_str());
    api->setInputBufferSize(kInputBufferBytes);
    const int wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wakeFd < 0) {
        failure =
            std::string("no event descriptor for the sequencer reader: ") + std::strerror(errno);
        return nullptr;
    }
    std::shared_ptr<AlsaSequencer> self(new AlsaSequencer(std::move(api), wakeFd));
    // Announcements tell when a device's client or port goes away, or a connection of ours
    // is taken down from outside.
    self->m_announcePort = self->createPort("announcements", SND_SEQ_PORT_CAP_WRITE | kPrivate);
    if (self->m_announcePort >= 0) {
        const int result = self->m_api->connectFrom(self->m_announcePort, SND_SEQ_CLIENT_SYSTEM,
                                                    SND_SEQ_PORT_SYSTEM_ANNOUNCE);
        if (result < 0)
            qWarning("ALSA sequencer: no announcements (%s); unplugged devices go unnoticed",
                     alsaError(result).c_str());
    }
    self->m_reader = std::thread([raw = self.get()] { raw->runReader(); });
    return self;
}

AlsaSequencer::AlsaSequencer(std::unique_ptr<AlsaSequencerApi> api, int wakeFd)
    : m_api(std::move(api)), m_clientId(m_api->clientId()), m_wakeFd(wakeFd) {}

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
    ::close(m_wakeFd);
}

std::vector<AlsaDevice> AlsaSequencer::devices(Direction direction) {
    std::vector<AlsaDevice> found;
    for (const AlsaSequencerApi::Port& port : m_api->ports()) {
        if (port.client == SND_SEQ_CLIENT_SYSTEM || port.client == m_clientId)
            continue;
        const AlsaPortUse use = alsaPortUse(port.capability);
        if (direction == Direction::Input ? !use.input : !use.output)
            continue;
        found.push_back({alsaDeviceName(port.clientName, port.portName), port.client, port.port,
                         port.kernelClient});
    }
    return found;
}

MMRESULT AlsaSequencer::openInput(const AlsaDevice& device, MidiInputSink& sink,
                                  AlsaInputPort*& opened) {
    auto input = std::make_unique<AlsaInputPort>();
    input->device = device;
    input->sink = &sink;
    input->ownPort =
        createPort("MIDI in " + std::to_string(++m_portCounter), SND_SEQ_PORT_CAP_WRITE | kPrivate);
    if (input->ownPort < 0)
        return MMSYSERR_NOMEM;
    const int result = m_api->connectFrom(input->ownPort, device.client, device.port);
    if (result < 0) {
        qWarning("ALSA sequencer: cannot subscribe to \"%s\": %s", device.name.c_str(),
                 alsaError(result).c_str());
        m_api->deletePort(input->ownPort);
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
    output->ownPort =
        createPort("MIDI out " + std::to_string(++m_portCounter), SND_SEQ_PORT_CAP_READ | kPrivate);
    if (output->ownPort < 0)
        return MMSYSERR_NOMEM;
    // The connection shows where our output goes and tells when it is taken down; the events
    // themselves go to the device directly.
    const int result = m_api->connectTo(output->ownPort, device.client, device.port);
    if (result < 0) {
        qWarning("ALSA sequencer: cannot subscribe \"%s\": %s", device.name.c_str(),
                 alsaError(result).c_str());
        m_api->deletePort(output->ownPort);
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
    m_api->deletePort(input->ownPort);
    delete input;
}

void AlsaSequencer::closeOutput(AlsaOutputPort* output) {
    {
        std::lock_guard lock(m_portsMutex);
        std::erase(m_outputs, output);
    }
    m_api->deletePort(output->ownPort);
    delete output;
}

MMRESULT AlsaSequencer::send(AlsaOutputPort& output, snd_seq_event_t& event) {
    if (output.gone)
        return MIDIERR_NODEVICE;
    snd_seq_ev_set_source(&event, output.ownPort);
    // To the device alone: a retry after a full pool cannot reach anyone twice.
    snd_seq_ev_set_dest(&event, output.device.client, output.device.port);
    snd_seq_ev_set_direct(&event);
    const auto deadline = m_api->now() + kFullPoolLimit;
    for (;;) {
        int result = 0;
        {
            std::lock_guard lock(m_outputMutex);
            result = m_api->outputDirect(event);
        }
        if (result >= 0)
            return MMSYSERR_NOERROR;
        if (result != -EAGAIN && result != -ENOMEM) {
            qWarning("ALSA sequencer: sending to \"%s\" failed: %s", output.device.name.c_str(),
                     alsaError(result).c_str());
            return output.gone || result == -ENOENT || result == -ENXIO ? MIDIERR_NODEVICE
                                                                        : MMSYSERR_ERROR;
        }
        // The pool is full: the destination is still taking earlier events.
        if (output.gone)
            return MIDIERR_NODEVICE;
        if (m_api->now() > deadline) {
            qWarning("ALSA sequencer: \"%s\" takes no events", output.device.name.c_str());
            return MMSYSERR_ERROR;
        }
        m_api->sleepUntil(m_api->now() + 1ms);
    }
}

int AlsaSequencer::createPort(const std::string& name, unsigned int capability) {
    const int port = m_api->createPort(name, capability);
    if (port < 0)
        qWarning("ALSA sequencer: cannot create port \"%s\": %s", name.c_str(),
                 alsaError(port).c_str());
    return port;
}

void AlsaSequencer::runReader() {
    std::vector<pollfd> fds{{m_wakeFd, POLLIN, 0}};
    for (const pollfd& fd : m_api->pollDescriptors())
        fds.push_back(fd);
    std::vector<std::uint8_t> scratch;
    while (!m_stop) {
        const int ready = ::poll(fds.data(), fds.size(), 500);
        if (ready < 0 && errno != EINTR) {
            allInputsLost("polling the ALSA sequencer failed");
            return;
        }
        if (m_stop)
            return;
        // A descriptor in error would wake the poll at once for ever: reading stops instead.
        for (std::size_t i = 1; i < fds.size(); ++i) {
            if (fds[i].revents & (POLLERR | POLLNVAL | POLLHUP)) {
                allInputsLost("the ALSA sequencer's descriptor failed");
                return;
            }
        }
        if (!readEvents(scratch)) {
            allInputsLost("reading from the ALSA sequencer failed");
            return;
        }
    }
}

bool AlsaSequencer::readEvents(std::vector<std::uint8_t>& scratch) {
    for (;;) {
        snd_seq_event_t* event = nullptr;
        const int result = m_api->input(event);
        if (result == -EAGAIN || result == -EINTR)
            return true;
        if (result == -ENOSPC) {
            // The sequencer dropped events for us: every input may have lost bytes.
            std::lock_guard lock(m_portsMutex);
            for (auto& [port, input] : m_inputs)
                input->sink->bytesLost();
            continue;
        }
        if (result < 0) {
            qWarning("ALSA sequencer: reading failed: %s", alsaError(result).c_str());
            return false;
        }
        if (event)
            dispatch(*event, scratch);
    }
}

void AlsaSequencer::dispatch(const snd_seq_event_t& event, std::vector<std::uint8_t>& scratch) {
    if (event.dest.port == m_announcePort) {
        noticeAnnouncement(event);
        return;
    }
    std::lock_guard lock(m_portsMutex);
    const auto it = m_inputs.find(event.dest.port);
    if (it == m_inputs.end() || it->second->gone)
        return;
    scratch.clear();
    if (m_decoder.decode(event, scratch))
        it->second->sink->receiveBytes(scratch.data(), scratch.size());
}

void AlsaSequencer::noticeAnnouncement(const snd_seq_event_t& event) {
    // Our own ports come and go with every open; only other clients' are devices.
    const bool another = event.data.addr.client != m_clientId;
    switch (event.type) {
    case SND_SEQ_EVENT_CLIENT_START:
    case SND_SEQ_EVENT_PORT_START:
    case SND_SEQ_EVENT_PORT_CHANGE:
        if (another)
            notifyDevicesChanged();
        break;
    case SND_SEQ_EVENT_PORT_EXIT:
        if (another)
            notifyDevicesChanged();
        noticeGone(event.data.addr.client, event.data.addr.port,
                   "its ALSA sequencer port went away");
        break;
    case SND_SEQ_EVENT_CLIENT_EXIT:
        notifyDevicesChanged();
        noticeGone(event.data.addr.client, -1, "its ALSA sequencer client went away");
        break;
    case SND_SEQ_EVENT_PORT_UNSUBSCRIBED:
        noticeUnsubscribed(event.data.connect.sender, event.data.connect.dest);
        break;
    default:
        break;
    }
}

void AlsaSequencer::noticeGone(int client, int port, const char* reason) {
    const auto matches = [&](const AlsaDevice& device) {
        return device.client == client && (port < 0 || device.port == port);
    };
    std::lock_guard lock(m_portsMutex);
    for (auto& [own, input] : m_inputs) {
        if (!input->gone && matches(input->device)) {
            input->gone = true;
            input->sink->deviceLost(reason);
        }
    }
    for (AlsaOutputPort* output : m_outputs) {
        if (matches(output->device))
            output->gone = true;
    }
}

// A connection of ours taken down by another program (aconnect -d, a patchbay): the device is
// as good as gone for this handle, rather than silently quiet.
void AlsaSequencer::noticeUnsubscribed(const snd_seq_addr_t& sender, const snd_seq_addr_t& dest) {
    // A port that goes away takes its connections with it first: then it is the port that went.
    const snd_seq_addr_t& other = dest.client == m_clientId ? sender : dest;
    bool present = false;
    for (const AlsaSequencerApi::Port& port : m_api->ports())
        present |= port.client == other.client && port.port == other.port;
    const char* reason =
        present ? "its ALSA sequencer connection was removed" : "its ALSA sequencer port went away";
    std::lock_guard lock(m_portsMutex);
    if (dest.client == m_clientId) {
        const auto it = m_inputs.find(dest.port);
        if (it != m_inputs.end() && !it->second->gone &&
            it->second->device.client == sender.client && it->second->device.port == sender.port) {
            it->second->gone = true;
            it->second->sink->deviceLost(reason);
        }
    }
    if (sender.client == m_clientId) {
        for (AlsaOutputPort* output : m_outputs) {
            if (output->ownPort == sender.port && output->device.client == dest.client &&
                output->device.port == dest.port)
                output->gone = true;
        }
    }
}

void AlsaSequencer::allInputsLost(const char* reason) {
    qWarning("ALSA sequencer: %s; MIDI input stops", reason);
    std::lock_guard lock(m_portsMutex);
    for (auto& [own, input] : m_inputs) {
        if (!input->gone) {
            input->gone = true;
            input->sink->deviceLost(reason);
        }
    }
}

} // namespace dorvo::winmm
