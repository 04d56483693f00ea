#include "MidiInputParser.h"

#include "MidiBytes.h"

namespace dorvo::winmm {

void MidiInputParser::parse(const std::uint8_t* bytes, std::size_t count, Listener& listener) {
    std::size_t i = 0;
    while (i < count) {
        if (m_inSysex) {
            i += parseSysex(bytes + i, count - i, listener);
            continue;
        }
        const std::uint8_t byte = bytes[i++];
        if (isStatusByte(byte))
            parseStatus(byte, listener);
        else
            parseData(byte, listener);
    }
}

void MidiInputParser::reset() {
    m_inSysex = false;
    m_skippingData = false;
    m_runningStatus = 0;
    m_pendingCount = 0;
    m_pendingLength = 0;
}

void MidiInputParser::resynchronize() {
    reset();
    m_skippingData = true;
}

// Consumes what belongs to the open system-exclusive message from the front of `bytes`: a run
// of data bytes, one real-time byte, or the byte that ends it. An interrupting status byte is
// left for the caller, so that it starts the next message.
std::size_t MidiInputParser::parseSysex(const std::uint8_t* bytes, std::size_t count,
                                        Listener& listener) {
    std::size_t run = 0;
    while (run < count && !isStatusByte(bytes[run]))
        ++run;
    if (run > 0) {
        listener.sysexBytes(bytes, run);
        return run;
    }
    const std::uint8_t status = bytes[0];
    if (isRealTimeByte(status)) {
        listener.shortMessage(status);
        return 1;
    }
    m_inSysex = false;
    if (status == kSysexEnd) {
        listener.sysexBytes(bytes, 1);
        listener.sysexEnded();
        return 1;
    }
    listener.sysexInterrupted();
    return 0;
}

void MidiInputParser::parseStatus(std::uint8_t status, Listener& listener) {
    if (isRealTimeByte(status)) {
        // Real-time bytes may sit inside another message without disturbing it.
        listener.shortMessage(status);
        return;
    }
    const bool skipping = m_skippingData;
    m_skippingData = false;
    dropPendingMessage(listener);
    if (status == kSysexStart) {
        m_runningStatus = 0;
        m_inSysex = true;
        listener.sysexBytes(&status, 1);
        return;
    }
    if (status == kSysexEnd) {
        // After skipped data bytes it ends the message they belonged to: nothing more to say.
        m_runningStatus = 0;
        if (!skipping)
            listener.invalidMessage(status);
        return;
    }
    m_runningStatus = isChannelStatus(status) ? status : 0;
    const std::size_t length = shortMessageLength(status);
    if (length == 1) {
        listener.shortMessage(status);
        return;
    }
    m_pending[0] = status;
    m_pendingCount = 1;
    m_pendingLength = length;
}

void MidiInputParser::parseData(std::uint8_t data, Listener& listener) {
    if (m_pendingCount == 0) {
        if (m_runningStatus == 0) {
            // One report for a whole run: a lost message start would otherwise give one per
            // byte of what follows it.
            if (!m_skippingData)
                listener.invalidMessage(data);
            m_skippingData = true;
            return;
        }
        m_pending[0] = m_runningStatus;
        m_pendingCount = 1;
        m_pendingLength = shortMessageLength(m_runningStatus);
    }
    m_pending[m_pendingCount++] = data;
    if (m_pendingCount == m_pendingLength) {
        listener.shortMessage(packShortMessage(m_pending, m_pendingCount));
        m_pendingCount = 0;
    }
}

void MidiInputParser::dropPendingMessage(Listener& listener) {
    if (m_pendingCount == 0)
        return;
    listener.invalidMessage(packShortMessage(m_pending, m_pendingCount));
    m_pendingCount = 0;
}

} // namespace dorvo::winmm
