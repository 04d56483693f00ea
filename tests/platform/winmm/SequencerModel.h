// A model of the kernel's ALSA sequencer, as its documentation and sources describe it, for the
// ALSA backend's tests: clients and ports that start and exit with announcements, subscriptions
// with their permission checks, a bounded input pool per client, and kernel clients that bridge
// to a hardware MIDI port with a 4 KiB output buffer draining at cable speed and dropping what
// does not fit. Time is the model's own: waiting advances it at once.
#pragma once

#include "AlsaSequencerApi.h"

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace seqmodel {

using dorvo::winmm::AlsaSequencerApi;
using Clock = AlsaSequencerApi::Clock;

// What a hardware port's cable carried, and what did not fit into its output buffer.
struct Cable {
    std::vector<std::uint8_t> bytes;
    std::size_t overrun = 0;
    Clock::time_point lastByteAt{};
};

class Sequencer {
public:
    static constexpr int kOurClient = 128;
    // The bridge's output buffer (snd-seq-midi's rawmidi buffer) and the cable's speed.
    static constexpr std::size_t kHardwareBuffer = 4096;
    static constexpr std::chrono::microseconds kByteTime{320};
    static constexpr std::size_t kDefaultPool = 200;

    Sequencer();
    ~Sequencer();

    // The backend's connection: our client. Only one at a time.
    std::unique_ptr<AlsaSequencerApi> connect();

    // Other clients: a program (user client) or a bridge to hardware (kernel client); each
    // with ports readable and writable by subscription.
    int addClient(const std::string& name, bool kernel);
    int addPort(int client, const std::string& name,
                unsigned int capability = SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ |
                                          SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE);
    void removePort(int client, int port);
    void removeClient(int client);

    // A device sends: the bytes reach every subscriber of its port as one event (sysex or a
    // short message). A burst sends the same event `count` times at once, faster than any
    // reader can follow.
    void emit(int client, int port, const std::vector<std::uint8_t>& bytes, int count = 1);
    // Another program tries to connect two ports; the kernel's answer.
    int connectAsThirdParty(int senderClient, int senderPort, int destClient, int destPort);
    // Another program takes a connection down.
    void disconnectAsThirdParty(int senderClient, int senderPort, int destClient, int destPort);

    // What the port's hardware received so far (kernel clients), up to the model's now.
    Cable cable(int client, int port);
    // Events a user client's port received (software destinations).
    std::vector<std::vector<std::uint8_t>> received(int client, int port);
    Clock::time_point now();
    // The ports of a client as it has them now.
    std::vector<AlsaSequencerApi::Port> portsOf(int client);
    // Events dropped because our input pool was full.
    std::size_t droppedForUs();
    // The size of our input pool as set.
    std::size_t ourPool();

private:
    friend class Connection;
    struct Subscription {
        int senderClient, senderPort, destClient, destPort;
    };
    struct Port {
        std::string name;
        unsigned int capability = 0;
        // Kernel client ports: the bytes waiting in the bridge's buffer.
        std::deque<std::uint8_t> buffer;
        Cable cable;
        Clock::time_point drainedUntil{};
        std::vector<std::vector<std::uint8_t>> received;
    };
    struct Client {
        std::string name;
        bool kernel = false;
        std::map<int, Port> ports;
    };

    // Under m_mutex.
    void announce(int type, int client, int port);
    void announceConnection(int type, const Subscription& subscription);
    void toAnnouncementListeners(snd_seq_event_t& event);
    void deliver(int destClient, int destPort, const snd_seq_event_t& event,
                 const std::vector<std::uint8_t>& bytes);
    void queueForUs(const snd_seq_event_t& event, const std::vector<std::uint8_t>& data);
    void drain(Port& port);
    int subscribe(int by, const Subscription& subscription);
    void unsubscribeAll(int client, int port);
    bool hasPort(int client, int port) const;
    void wake();

    std::mutex m_mutex;
    std::map<int, Client> m_clients;
    std::vector<Subscription> m_subscriptions;
    int m_nextClient = kOurClient + 1;
    Clock::time_point m_now;
    // Our client's input: events with their own copy of sysex data.
    struct Pending {
        snd_seq_event_t event;
        std::vector<std::uint8_t> data;
    };
    std::deque<Pending> m_ourQueue;
    Pending m_reading;
    std::size_t m_ourPool = kDefaultPool;
    bool m_ourOverflow = false;
    std::size_t m_dropped = 0;
    int m_wakeFd = -1;
    bool m_connected = false;
};

} // namespace seqmodel
