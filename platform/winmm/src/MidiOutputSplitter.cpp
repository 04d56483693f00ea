#include "MidiOutputSplitter.h"

#include "MidiBytes.h"

namespace dorvo::winmm {

bool MidiOutputSplitter::split(const std::uint8_t* bytes, std::size_t count, Listener& listener) {
    std::size_t i = 0;
    while (i < count) {
        const std::uint8_t byte = bytes[i];
        if (isRealTimeByte(byte)) {
            if (!listener.message(bytes + i, 1))
                return false;
            ++i;
            continue;
        }
        if (m_inSysex && isStatusByte(byte) && byte != kSysexEnd) {
            // Cut short by the next message: what was sent of it stays sent.
            m_inSysex = false;
        }
        if (m_inSysex || byte == kSysexStart) {
            const std::size_t end = sysexRunEnd(bytes, count, i);
            if (!listener.sysexPiece(bytes + i, end - i))
                return false;
            i = end;
            continue;
        }
        const bool taken =
            isStatusByte(byte) ? takeStatus(byte, listener) : takeData(byte, listener);
        if (!taken)
            return false;
        ++i;
    }
    return true;
}

void MidiOutputSplitter::reset() {
    m_inSysex = false;
    m_runningStatus = 0;
    m_pendingCount = 0;
    m_pendingLength = 0;
}

// The end of the system-exclusive bytes that start at `start`: a run of data bytes, after the
// F0 when the message begins there, and the F7 that ends it when it follows.
std::size_t MidiOutputSplitter::sysexRunEnd(const std::uint8_t* bytes, std::size_t count,
                                            std::size_t start) {
    std::size_t end = start;
    if (bytes[end] == kSysexStart) {
        m_pendingCount = 0;
        m_runningStatus = 0;
        m_inSysex = true;
        ++end;
    }
    while (end < count && !isStatusByte(bytes[end]))
        ++end;
    if (end < count && bytes[end] == kSysexEnd) {
        m_inSysex = false;
        ++end;
    }
    return end;
}

bool MidiOutputSplitter::takeStatus(std::uint8_t status, Listener& listener) {
    m_pendingCount = 0;
    if (status == kSysexEnd) {
        m_runningStatus = 0; // a stray end: nothing is open to end
        return true;
    }
    m_runningStatus = isChannelStatus(status) ? status : 0;
    m_pending[0] = status;
    m_pendingCount = 1;
    m_pendingLength = shortMessageLength(status);
    if (m_pendingLength > 1)
        return true;
    m_pendingCount = 0;
    return listener.message(m_pending, 1);
}

bool MidiOutputSplitter::takeData(std::uint8_t data, Listener& listener) {
    if (m_pendingCount == 0) {
        if (m_runningStatus == 0)
            return true; // a data byte with no status to belong to
        m_pending[0] = m_runningStatus;
        m_pendingCount = 1;
        m_pendingLength = shortMessageLength(m_runningStatus);
    }
    m_pending[m_pendingCount++] = data;
    if (m_pendingCount < m_pendingLength)
        return true;
    m_pendingCount = 0;
    return listener.message(m_pending, m_pendingLength);
}

} // namespace dorvo::winmm
