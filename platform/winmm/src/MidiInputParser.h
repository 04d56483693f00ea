// Turns the byte stream of an input device into what the multimedia input reports: short
// messages (running status expanded), runs of system-exclusive bytes, the end or interruption of
// a system-exclusive message, and bytes that form no valid message.
#pragma once

#include <cstddef>
#include <cstdint>

namespace dorvo::winmm {

class MidiInputParser {
public:
    class Listener {
    public:
        // A complete short message in packed form (status in the low byte).
        virtual void shortMessage(std::uint32_t packed) = 0;
        // The next bytes of a system-exclusive message, its F0 and F7 included.
        virtual void sysexBytes(const std::uint8_t* bytes, std::size_t count) = 0;
        // The F7 just passed to sysexBytes ended the message.
        virtual void sysexEnded() = 0;
        // A status byte other than F7 or real-time arrived before the message ended.
        virtual void sysexInterrupted() = 0;
        // Bytes that form no message, packed as a short message: the first of a run of stray
        // data bytes, a message cut short by a status byte, a stray F7.
        virtual void invalidMessage(std::uint32_t packed) = 0;

    protected:
        ~Listener() = default;
    };

    void parse(const std::uint8_t* bytes, std::size_t count, Listener& listener);
    // Forget running status, a half-received short message and an open system-exclusive
    // message, without reporting them.
    void reset();
    // As reset, after bytes were lost: data bytes up to the next status byte are the rest of
    // a message whose start is gone and are skipped without a report.
    void resynchronize();
    bool inSysex() const { return m_inSysex; }

private:
    std::size_t parseSysex(const std::uint8_t* bytes, std::size_t count, Listener& listener);
    void parseStatus(std::uint8_t status, Listener& listener);
    void parseData(std::uint8_t data, Listener& listener);
    void dropPendingMessage(Listener& listener);

    bool m_inSysex = false;
    bool m_skippingData = false;
    std::uint8_t m_runningStatus = 0;
    std::uint8_t m_pending[3] = {};
    std::size_t m_pendingCount = 0;
    std::size_t m_pendingLength = 0;
};

} // namespace dorvo::winmm
