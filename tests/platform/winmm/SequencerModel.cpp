#include "SequencerModel.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace seqmodel {

namespace {

constexpr unsigned int kReadable = SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ;
constexpr unsigned int kWritable = SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE;

// The bytes an event stands for on a MIDI cable.
std::vector<std::uint8_t> bytesOf(const snd_seq_event_t& event) {
    if (event.type == SND_SEQ_EVENT_SYSEX) {
        const auto* data = static_cast<const std::uint8_t*>(event.data.ext.ptr);
        return std::vector<std::uint8_t>(data, data + event.data.ext.len);
    }
    snd_midi_event_t* parser = nullptr;
    std::vector<std::uint8_t> bytes;
    if (snd_midi_event_new(32, &parser) < 0)
        return bytes;
    snd_midi_event_no_status(parser, 1);
    unsigned char buffer[32];
    const long length = snd_midi_event_decode(parser, buffer, sizeof buffer, &event);
    if (length > 0)
        bytes.assign(buffer, buffer + length);
    snd_midi_event_free(parser);
    return bytes;
}

} // namespace

// Our client's side of the model, as the backend calls it.
class Connection final : public AlsaSequencerApi {
public:
    explicit Connection(Sequencer& model) : m_model(model) {}
    ~Connection() override {
        std::lock_guard lock(m_model.m_mutex);
        for (auto& [number, port] : m_model.m_clients[Sequencer::kOurClient].ports)
            m_model.unsubscribeAll(Sequencer::kOurClient, number);
        m_model.m_clients.erase(Sequencer::kOurClient);
        m_model.m_connected = false;
    }

    int clientId() override { return Sequencer::kOurClient; }
    int setClientName(const std::string& name) override {
        std::lock_guard lock(m_model.m_mutex);
        m_model.m_clients[Sequencer::kOurClient].name = name;
        return 0;
    }
    int setInputPool(std::size_t events) override {
        std::lock_guard lock(m_model.m_mutex);
        m_model.m_ourPool = events;
        return 0;
    }
    int setInputBufferSize(std::size_t) override { return 0; }

    int createPort(const std::string& name, unsigned int capability) override {
        std::lock_guard lock(m_model.m_mutex);
        auto& ports = m_model.m_clients[Sequencer::kOurClient].ports;
        const int number = ports.empty() ? 0 : ports.rbegin()->first + 1;
        ports[number] = {name, capability, {}, {}, {}, {}};
        m_model.announce(SND_SEQ_EVENT_PORT_START, Sequencer::kOurClient, number);
        return number;
    }
    int deletePort(int port) override {
        std::lock_guard lock(m_model.m_mutex);
        if (!m_model.hasPort(Sequencer::kOurClient, port))
            return -ENOENT;
        m_model.unsubscribeAll(Sequencer::kOurClient, port);
        m_model.m_clients[Sequencer::kOurClient].ports.erase(port);
        m_model.announce(SND_SEQ_EVENT_PORT_EXIT, Sequencer::kOurClient, port);
        return 0;
    }
    int connectFrom(int ownPort, int client, int port) override {
        std::lock_guard lock(m_model.m_mutex);
        return m_model.subscribe(Sequencer::kOurClient,
                                 {client, port, Sequencer::kOurClient, ownPort});
    }
    int connectTo(int ownPort, int client, int port) override {
        std::lock_guard lock(m_model.m_mutex);
        return m_model.subscribe(Sequencer::kOurClient,
                                 {Sequencer::kOurClient, ownPort, client, port});
    }
    std::vector<Port> ports() override {
        std::lock_guard lock(m_model.m_mutex);
        std::vector<Port> all;
        for (const auto& [id, client] : m_model.m_clients)
            for (const auto& [number, port] : client.ports)
                all.push_back({id, number, client.name, port.name, port.capability, client.kernel});
        return all;
    }
    int outputDirect(snd_seq_event_t& event) override {
        std::lock_guard lock(m_model.m_mutex);
        if (!m_model.hasPort(event.dest.client, event.dest.port))
            return -ENOENT;
        const auto& dest = m_model.m_clients[event.dest.client].ports[event.dest.port];
        if (!(dest.capability & SND_SEQ_PORT_CAP_WRITE))
            return -EPERM;
        event.source.client = Sequencer::kOurClient;
        m_model.deliver(event.dest.client, event.dest.port, event, bytesOf(event));
        return 0;
    }
    int input(snd_seq_event_t*& event) override {
        std::lock_guard lock(m_model.m_mutex);
        if (m_model.m_ourOverflow) {
            m_model.m_ourOverflow = false;
            return -ENOSPC;
        }
        if (m_model.m_ourQueue.empty()) {
            std::uint64_t count = 0;
            [[maybe_unused]] const ssize_t read = ::read(m_model.m_wakeFd, &count, sizeof count);
            return -EAGAIN;
        }
        m_model.m_reading = std::move(m_model.m_ourQueue.front());
        m_model.m_ourQueue.pop_front();
        if (m_model.m_reading.event.type == SND_SEQ_EVENT_SYSEX)
            m_model.m_reading.event.data.ext.ptr = m_model.m_reading.data.data();
        event = &m_model.m_reading.event;
        return int(m_model.m_ourQueue.size()) + 1;
    }
    std::vector<pollfd> pollDescriptors() override { return {{m_model.m_wakeFd, POLLIN, 0}}; }
    Clock::time_point now() override { return m_model.now(); }
    void sleepUntil(Clock::time_point when) override {
        std::lock_guard lock(m_model.m_mutex);
        m_model.m_now = std::max(m_model.m_now, when);
        for (auto& [id, client] : m_model.m_clients)
            for (auto& [number, port] : client.ports)
                m_model.drain(port);
    }

private:
    Sequencer& m_model;
};

Sequencer::Sequencer() : m_now(Clock::time_point() + std::chrono::hours(1)) {
    m_wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    Client system{"System", true, {}};
    system.ports[SND_SEQ_PORT_SYSTEM_TIMER] = {"Timer", kReadable | kWritable, {}, {}, {}, {}};
    system.ports[SND_SEQ_PORT_SYSTEM_ANNOUNCE] = {"Announce", kReadable, {}, {}, {}, {}};
    m_clients[SND_SEQ_CLIENT_SYSTEM] = system;
}

Sequencer::~Sequencer() {
    ::close(m_wakeFd);
}

std::unique_ptr<AlsaSequencerApi> Sequencer::connect() {
    std::lock_guard lock(m_mutex);
    m_connected = true;
    m_clients[kOurClient] = {"Client-128", false, {}};
    return std::make_unique<Connection>(*this);
}

int Sequencer::addClient(const std::string& name, bool kernel) {
    std::lock_guard lock(m_mutex);
    const int id = m_nextClient++;
    m_clients[id] = {name, kernel, {}};
    announce(SND_SEQ_EVENT_CLIENT_START, id, 0);
    return id;
}

int Sequencer::addPort(int client, const std::string& name, unsigned int capability) {
    std::lock_guard lock(m_mutex);
    auto& ports = m_clients[client].ports;
    const int number = ports.empty() ? 0 : ports.rbegin()->first + 1;
    Port port{name, capability, {}, {}, m_now, {}};
    ports[number] = port;
    announce(SND_SEQ_EVENT_PORT_START, client, number);
    return number;
}

void Sequencer::removePort(int client, int port) {
    std::lock_guard lock(m_mutex);
    if (!hasPort(client, port))
        return;
    unsubscribeAll(client, port);
    m_clients[client].ports.erase(port);
    announce(SND_SEQ_EVENT_PORT_EXIT, client, port);
}

void Sequencer::removeClient(int client) {
    std::lock_guard lock(m_mutex);
    if (!m_clients.count(client))
        return;
    std::vector<int> numbers;
    for (const auto& [number, port] : m_clients[client].ports)
        numbers.push_back(number);
    for (int number : numbers) {
        unsubscribeAll(client, number);
        m_clients[client].ports.erase(number);
        announce(SND_SEQ_EVENT_PORT_EXIT, client, number);
    }
    m_clients.erase(client);
    announce(SND_SEQ_EVENT_CLIENT_EXIT, client, 0);
}

void Sequencer::emit(int client, int port, const std::vector<std::uint8_t>& bytes, int count) {
    std::lock_guard lock(m_mutex);
    snd_seq_event_t event;
    snd_seq_ev_clear(&event);
    if (!bytes.empty() && bytes[0] == 0xF0) {
        snd_seq_ev_set_sysex(&event, unsigned(bytes.size()),
                             const_cast<std::uint8_t*>(bytes.data()));
    } else {
        snd_midi_event_t* parser = nullptr;
        if (snd_midi_event_new(32, &parser) < 0)
            return;
        for (const std::uint8_t byte : bytes)
            snd_midi_event_encode_byte(parser, byte, &event);
        snd_midi_event_free(parser);
    }
    event.source.client = static_cast<unsigned char>(client);
    event.source.port = static_cast<unsigned char>(port);
    for (int i = 0; i < count; ++i)
        for (const Subscription& subscription : std::vector<Subscription>(m_subscriptions))
            if (subscription.senderClient == client && subscription.senderPort == port)
                deliver(subscription.destClient, subscription.destPort, event, bytes);
}

int Sequencer::connectAsThirdParty(int senderClient, int senderPort, int destClient, int destPort) {
    std::lock_guard lock(m_mutex);
    // Any client other than the two: the export and subscription permissions apply.
    return subscribe(-1, {senderClient, senderPort, destClient, destPort});
}

void Sequencer::disconnectAsThirdParty(int senderClient, int senderPort, int destClient,
                                       int destPort) {
    std::lock_guard lock(m_mutex);
    for (auto it = m_subscriptions.begin(); it != m_subscriptions.end(); ++it) {
        if (it->senderClient == senderClient && it->senderPort == senderPort &&
            it->destClient == destClient && it->destPort == destPort) {
            const Subscription gone = *it;
            m_subscriptions.erase(it);
            announceConnection(SND_SEQ_EVENT_PORT_UNSUBSCRIBED, gone);
            return;
        }
    }
}

Cable Sequencer::cable(int client, int port) {
    std::lock_guard lock(m_mutex);
    if (!hasPort(client, port))
        return {};
    Port& found = m_clients[client].ports[port];
    drain(found);
    return found.cable;
}

std::vector<std::vector<std::uint8_t>> Sequencer::received(int client, int port) {
    std::lock_guard lock(m_mutex);
    return hasPort(client, port) ? m_clients[client].ports[port].received
                                 : std::vector<std::vector<std::uint8_t>>();
}

Clock::time_point Sequencer::now() {
    std::lock_guard lock(m_mutex);
    return m_now;
}

std::vector<AlsaSequencerApi::Port> Sequencer::portsOf(int client) {
    std::lock_guard lock(m_mutex);
    std::vector<AlsaSequencerApi::Port> ports;
    if (const auto found = m_clients.find(client); found != m_clients.end())
        for (const auto& [number, port] : found->second.ports)
            ports.push_back({client, number, found->second.name, port.name, port.capability,
                             found->second.kernel});
    return ports;
}

std::size_t Sequencer::droppedForUs() {
    std::lock_guard lock(m_mutex);
    return m_dropped;
}

std::size_t Sequencer::ourPool() {
    std::lock_guard lock(m_mutex);
    return m_ourPool;
}

// ---- Under the lock ---------------------------------------------------------------------------

bool Sequencer::hasPort(int client, int port) const {
    const auto found = m_clients.find(client);
    return found != m_clients.end() && found->second.ports.count(port);
}

void Sequencer::wake() {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(m_wakeFd, &one, sizeof one);
}

void Sequencer::announce(int type, int client, int port) {
    snd_seq_event_t event;
    snd_seq_ev_clear(&event);
    event.type = static_cast<snd_seq_event_type_t>(type);
    event.data.addr.client = static_cast<unsigned char>(client);
    event.data.addr.port = static_cast<unsigned char>(port);
    toAnnouncementListeners(event);
}

void Sequencer::announceConnection(int type, const Subscription& subscription) {
    snd_seq_event_t event;
    snd_seq_ev_clear(&event);
    event.type = static_cast<snd_seq_event_type_t>(type);
    event.data.connect.sender.client = static_cast<unsigned char>(subscription.senderClient);
    event.data.connect.sender.port = static_cast<unsigned char>(subscription.senderPort);
    event.data.connect.dest.client = static_cast<unsigned char>(subscription.destClient);
    event.data.connect.dest.port = static_cast<unsigned char>(subscription.destPort);
    toAnnouncementListeners(event);
}

// Announcements reach our client's ports that subscribed to the system's announce port.
void Sequencer::toAnnouncementListeners(snd_seq_event_t& event) {
    event.source.client = SND_SEQ_CLIENT_SYSTEM;
    event.source.port = SND_SEQ_PORT_SYSTEM_ANNOUNCE;
    for (const Subscription& listener : m_subscriptions)
        if (listener.senderClient == SND_SEQ_CLIENT_SYSTEM &&
            listener.senderPort == SND_SEQ_PORT_SYSTEM_ANNOUNCE &&
            listener.destClient == kOurClient) {
            event.dest.client = kOurClient;
            event.dest.port = static_cast<unsigned char>(listener.destPort);
            queueForUs(event, {});
        }
}

void Sequencer::deliver(int destClient, int destPort, const snd_seq_event_t& event,
                        const std::vector<std::uint8_t>& bytes) {
    if (destClient == kOurClient) {
        snd_seq_event_t copy = event;
        copy.dest.client = kOurClient;
        copy.dest.port = static_cast<unsigned char>(destPort);
        queueForUs(copy, event.type == SND_SEQ_EVENT_SYSEX ? bytes : std::vector<std::uint8_t>());
        return;
    }
    if (!hasPort(destClient, destPort))
        return;
    Client& client = m_clients[destClient];
    Port& port = client.ports[destPort];
    if (!client.kernel) {
        port.received.push_back(bytes);
        return;
    }
    // The bridge writes into its buffer what fits; the rest is lost with a line in the
    // kernel's log, and the sender hears nothing of it.
    drain(port);
    if (port.buffer.empty())
        port.drainedUntil = m_now;
    const std::size_t room = kHardwareBuffer - port.buffer.size();
    const std::size_t taken = std::min(room, bytes.size());
    port.buffer.insert(port.buffer.end(), bytes.begin(), bytes.begin() + long(taken));
    port.cable.overrun += bytes.size() - taken;
}

void Sequencer::queueForUs(const snd_seq_event_t& event, const std::vector<std::uint8_t>& data) {
    if (m_ourQueue.size() >= m_ourPool) {
        m_ourOverflow = true;
        ++m_dropped;
        wake();
        return;
    }
    m_ourQueue.push_back({event, data});
    wake();
}

void Sequencer::drain(Port& port) {
    if (port.buffer.empty()) {
        port.drainedUntil = std::max(port.drainedUntil, m_now);
        return;
    }
    const auto elapsed = m_now - port.drainedUntil;
    const std::size_t leaving =
        std::min<std::size_t>(port.buffer.size(), std::size_t(elapsed / kByteTime));
    for (std::size_t i = 0; i < leaving; ++i) {
        port.cable.bytes.push_back(port.buffer.front());
        port.buffer.pop_front();
    }
    port.drainedUntil += kByteTime * long(leaving);
    if (leaving > 0)
        port.cable.lastByteAt = port.drainedUntil;
}

int Sequencer::subscribe(int by, const Subscription& subscription) {
    if (!hasPort(subscription.senderClient, subscription.senderPort) ||
        !hasPort(subscription.destClient, subscription.destPort))
        return -ENOENT;
    const Port& sender = m_clients[subscription.senderClient].ports[subscription.senderPort];
    const Port& dest = m_clients[subscription.destClient].ports[subscription.destPort];
    if (by != subscription.senderClient && by != subscription.destClient &&
        ((sender.capability | dest.capability) & SND_SEQ_PORT_CAP_NO_EXPORT))
        return -EPERM;
    if (by != subscription.senderClient && (sender.capability & kReadable) != kReadable)
        return -EPERM;
    if (by != subscription.destClient && (dest.capability & kWritable) != kWritable)
        return -EPERM;
    for (const Subscription& existing : m_subscriptions)
        if (existing.senderClient == subscription.senderClient &&
            existing.senderPort == subscription.senderPort &&
            existing.destClient == subscription.destClient &&
            existing.destPort == subscription.destPort)
            return -EBUSY;
    m_subscriptions.push_back(subscription);
    announceConnection(SND_SEQ_EVENT_PORT_SUBSCRIBED, subscription);
    return 0;
}

void Sequencer::unsubscribeAll(int client, int port) {
    std::vector<Subscription> gone;
    std::erase_if(m_subscriptions, [&](const Subscription& s) {
        const bool involved = (s.senderClient == client && s.senderPort == port) ||
                              (s.destClient == client && s.destPort == port);
        if (involved)
            gone.push_back(s);
        return involved;
    });
    for (const Subscription& subscription : gone)
        announceConnection(SND_SEQ_EVENT_PORT_UNSUBSCRIBED, subscription);
}

} // namespace seqmodel
