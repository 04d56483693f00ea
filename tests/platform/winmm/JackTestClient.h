// A JACK client of the test itself, standing for another program on the same server: one MIDI
// input port "in" and one output port "out". It can pass what arrives at "in" on to "out", or
// play a prepared byte string out of "out" a piece per period.
#pragma once

#include <jack/jack.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

namespace dorvo2test {

class JackTestClient {
public:
    // Connects to the server of JACK_DEFAULT_SERVER; check isOpen().
    explicit JackTestClient(const char* name);
    ~JackTestClient();
    JackTestClient(const JackTestClient&) = delete;
    JackTestClient& operator=(const JackTestClient&) = delete;

    bool isOpen() const { return m_client != nullptr; }
    std::string inPortName() const;  // where a Dorvo output device sends to
    std::string outPortName() const; // what a Dorvo input device listens to

    void passThrough(bool on) { m_thru = on; }
    // Plays `bytes` out of "out" as one event of at most `piece` bytes per period.
    void play(std::vector<std::uint8_t> bytes, std::size_t piece);
    bool played() const { return m_playOffset.load() >= m_playBytes.size(); }
    std::size_t periodsPlaying() const { return m_playPeriods.load(); }
    // Events that arrived at "in" so far.
    std::size_t received() const { return m_received.load(); }
    // Removes the client and its ports from the server.
    void close();

private:
    static int process(jack_nframes_t frames, void* self);

    jack_client_t* m_client = nullptr;
    jack_port_t* m_in = nullptr;
    jack_port_t* m_out = nullptr;
    std::atomic<bool> m_thru{false};
    std::atomic<bool> m_serverGone{false};
    std::vector<std::uint8_t> m_playBytes;
    std::size_t m_playPiece = 0;
    std::atomic<std::size_t> m_playOffset{0};
    std::atomic<bool> m_playing{false};
    std::atomic<std::size_t> m_playPeriods{0};
    std::atomic<std::size_t> m_received{0};
};

} // namespace dorvo2test
