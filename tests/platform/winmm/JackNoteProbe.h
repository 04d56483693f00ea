// A JACK client of a test or benchmark that plays numbered notes out of its port "out" and
// notes, for each of its return ports "back_1", "back_2", ..., the frame at which each note
// came back and how often. The number travels in the channel, key and velocity bits, so the
// notes pass through anything that passes short messages unchanged.
#pragma once

#include <jack/jack.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace dorvo2test {

class JackNoteProbe {
public:
    static constexpr std::size_t kMaxNotes = std::size_t(1) << 17;

    // Connects to the server of JACK_DEFAULT_SERVER; check isOpen().
    JackNoteProbe(const char* name, int returnPorts);
    ~JackNoteProbe();
    JackNoteProbe(const JackNoteProbe&) = delete;
    JackNoteProbe& operator=(const JackNoteProbe&) = delete;

    bool isOpen() const { return m_client != nullptr; }
    jack_client_t* client() const { return m_client; }
    std::string outPortName() const;
    std::string backPortName(int index) const; // index from 0
    jack_nframes_t period() const;

    // Plays notes 0 .. count - 1: `perPeriod` of them in every `everyPeriods`-th period, spread
    // over it, at offsets that shift from period to period so that every part of a period is
    // used. Clears what came back before.
    void play(std::size_t count, std::size_t perPeriod, std::size_t everyPeriods);
    std::size_t played() const { return m_played.load(std::memory_order_acquire); }
    // Notes that came back on a port, doubles included.
    std::size_t arrivals(int port) const;
    // After the notes came back (or the wait ended): per note, how often it came back on the
    // port, and the frame time it left and first came back at.
    std::uint32_t timesBack(int port, std::size_t note) const;
    jack_nframes_t sentAt(std::size_t note) const;
    jack_nframes_t backAt(int port, std::size_t note) const;

private:
    struct ReturnPort {
        jack_port_t* port = nullptr;
        std::unique_ptr<std::atomic<std::uint32_t>[]> times;
        std::unique_ptr<std::atomic<jack_nframes_t>[]> firstFrame;
        std::atomic<std::size_t> arrivals{0};
    };

    static int process(jack_nframes_t frames, void* self);
    void playPeriod(void* out, jack_nframes_t frames, jack_nframes_t cycleStart);
    void listen(ReturnPort& back, jack_nframes_t frames, jack_nframes_t cycleStart);

    jack_client_t* m_client = nullptr;
    jack_port_t* m_out = nullptr;
    std::vector<std::unique_ptr<ReturnPort>> m_returns;
    std::unique_ptr<std::atomic<jack_nframes_t>[]> m_sentFrame;
    std::atomic<std::size_t> m_count{0};
    std::atomic<std::size_t> m_perPeriod{1};
    std::atomic<std::size_t> m_everyPeriods{1};
    std::atomic<bool> m_playing{false};
    std::atomic<std::size_t> m_played{0};
    std::atomic<std::uint64_t> m_periodsPlayed{0};
};

} // namespace dorvo2test
