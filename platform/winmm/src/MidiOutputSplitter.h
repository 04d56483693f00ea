// Cuts the bytes of long output buffers into what a message-based MIDI system carries: complete
// short messages (running status expanded) and pieces of system-exclusive messages. State
// carries over from one buffer to the next, so that a system-exclusive message sent in several
// buffers continues where the last one stopped.
#pragma once

#include <cstddef>
#include <cstdint>

namespace dorvo::winmm {

class MidiOutputSplitter {
public:
    class Listener {
    public:
        // Each returns false to stop splitting (a failed or cancelled send).
        virtual bool message(const std::uint8_t* bytes, std::size_t count) = 0;
        // Consecutive bytes of one system-exclusive message, F0 and F7 included where they
        // belong; a real-time byte inside the message comes between two pieces.
        virtual bool sysexPiece(const std::uint8_t* bytes, std::size_t count) = 0;

    protected:
        ~Listener() = default;
    };

    // False when the listener stopped it.
    bool split(const std::uint8_t* bytes, std::size_t count, Listener& listener);
    void reset();
    bool inSysex() const { return m_inSysex; }

private:
    std::size_t sysexRunEnd(const std::uint8_t* bytes, std::size_t count, std::size_t start);
    bool takeStatus(std::uint8_t status, Listener& listener);
    bool takeData(std::uint8_t data, Listener& listener);

    bool m_inSysex = false;
    std::uint8_t m_runningStatus = 0;
    std::uint8_t m_pending[3] = {};
    std::size_t m_pendingCount = 0;
    std::size_t m_pendingLength = 0;
};

} // namespace dorvo::winmm
