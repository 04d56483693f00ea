#include "TMIDITransport.h"

#include "TAutoResetEvent.h"
#include "TMIDIEventPushThread.h"
#include "TransportCheck.h"

#include <QByteArray>
#include <algorithm>
#include <cstring>
#include <new>

using dorvo::transport::kTransportModule;

namespace {

// A short message always arrives as one packet of this size, whatever its own length.
constexpr int kShortPacketSize = 4;

constexpr BYTE kSysexStart = 0xF0;
constexpr BYTE kSysexEnd = 0xF7;
constexpr BYTE kFirstRealTime = 0xF8;

bool isStatusByte(BYTE b) {
    return b >= 0x80;
}

int channelMessageLength(BYTE status) {
    const int kind = status >> 4;
    return (kind == 0xC || kind == 0xD) ? 2 : 3;
}

DWORD channelMessageType(BYTE status) {
    return MPEVENT_NOTEOFF << ((status >> 4) - 0x8);
}

} // namespace

TMIDITransport::TMIDITransport(QObject* parent)
    : QObject(parent), m_hEventMIDIReader(new (std::nothrow) TAutoResetEvent(false)),
      m_sink(nullptr), m_pusherThread(nullptr), m_sysexBuffer(nullptr), m_sysexLength(0),
      m_pusherStopRequested(false), m_pusherEnded(false) {
    std::memset(&m_event, 0, sizeof m_event);
    m_event.type = MPEVENT_NONE;
    TRANSPORT_CHECK(kTransportModule, nullptr != m_hEventMIDIReader, "NULL != m_hEventMIDIReader");
}

TMIDITransport::~TMIDITransport() {
    stopPusherThread();
    delete m_hEventMIDIReader;
    resetParser();
}

bool TMIDITransport::startPusherThread() {
    if (!TRANSPORT_CHECK(kTransportModule, m_pusherThread == nullptr, "m_pusherThread == NULL"))
        return false;
    if (!m_hEventMIDIReader)
        return false;
    auto* thread = new (std::nothrow) TMIDIEventPushThread(this);
    if (!thread)
        return false;
    m_pusherStopRequested = false;
    m_pusherEnded = false;
    thread->start(QThread::TimeCriticalPriority);
    if (!thread->isRunning()) {
        delete thread;
        return false;
    }
    m_pusherThread = thread;
    return true;
}

void TMIDITransport::stopPusherThread() {
    if (!m_pusherThread)
        return;
    m_pusherStopRequested = true;
    m_hEventMIDIReader->set();
    m_pusherThread->wait();
    // Pairs with the release at the end of the thread body: what the thread touched last is
    // ordered before everything done here after the join, for checkers that do not see inside
    // QThread::wait as much as for the reader.
    m_pusherEnded.load(std::memory_order_acquire);
    delete m_pusherThread;
    m_pusherThread = nullptr;
}

void TMIDITransport::runPusherLoop() {
    for (;;) {
        m_hEventMIDIReader->wait();
        // Read before draining: a stop requested by now was requested after the driver queued
        // its stop mark, so this round's drain still delivers everything queued before it.
        const bool stopRequested = m_pusherStopRequested;
        if (processInput(0, nullptr) != 0 || stopRequested)
            break;
    }
    m_pusherEnded.store(true, std::memory_order_release);
}

void TMIDITransport::resetParser() {
    delete m_sysexBuffer;
    m_sysexBuffer = nullptr;
    m_sysexLength = 0;
    m_event.type = MPEVENT_NONE;
}

int TMIDITransport::processInput(int len, const BYTE* bytes) {
    if (!bytes)
        return 0;
    while (len > 0) {
        const int consumed = sysexUnderWay() ? parseInsideSysex(len, bytes) : parseIdle(len, bytes);
        bytes += consumed;
        len -= consumed;
        if (!TRANSPORT_CHECK(kTransportModule, 0 <= len, "0 <= len"))
            break;
    }
    return 0;
}

bool TMIDITransport::sysexUnderWay() const {
    return m_event.type == MPEVENT_SYSEX || m_event.type == MPEVENT_SYSEXCONTINUATION;
}

int TMIDITransport::parseIdle(int len, const BYTE* bytes) {
    const BYTE first = bytes[0];
    if (isStatusByte(first)) {
        if (first < kSysexStart)
            return parseChannelMessage(len, bytes);
        if (first == kSysexStart || first == kSysexEnd)
            return startSysex(len, bytes);
        return 1; // system common and real-time bytes mean nothing to the components
    }
    // Running status is not supported: data bytes without a status byte of their own are noise.
    int stray = 1;
    while (stray < len && !isStatusByte(bytes[stray]))
        ++stray;
    return stray;
}

int TMIDITransport::parseInsideSysex(int len, const BYTE* bytes) {
    const BYTE first = bytes[0];
    if (isStatusByte(first) && first < kFirstRealTime) {
        // Any status byte ends the message; the closing byte is supplied when it was not this.
        const BYTE end = kSysexEnd;
        appendSysex(1, &end);
        return first == kSysexEnd ? 1 : 0;
    }
    if (first >= kFirstRealTime)
        return 1; // real-time bytes may interleave with a message without ending it
    return appendSysex(len, bytes);
}

int TMIDITransport::parseChannelMessage(int len, const BYTE* bytes) {
    const BYTE status = bytes[0];
    const int needed = channelMessageLength(status);
    if (len < needed)
        return len;
    m_event.type = channelMessageType(status);
    m_event.channel = status & 0x0F;
    m_event.dataLength = 0;
    std::memset(m_event.data, 0, sizeof m_event.data);
    m_event.data[0] = bytes[1];
    m_event.data[1] = needed == 3 ? bytes[2] : 0;
    deliver();
    m_event.type = MPEVENT_NONE;
    // A packet cut short at the end of the input is taken as it is, never read beyond.
    return std::min(len, kShortPacketSize);
}

int TMIDITransport::startSysex(int len, const BYTE* bytes) {
    m_event.type = bytes[0] == kSysexStart ? MPEVENT_SYSEX : MPEVENT_SYSEXCONTINUATION;
    m_event.channel = 0;
    if (len > 1 && bytes[len - 1] == kSysexEnd) {
        // The whole message in one piece: hand it on where it lies.
        m_event.dataLength = static_cast<DWORD>(len - 1);
        m_event.longData = const_cast<BYTE*>(bytes + 1);
        deliver();
        m_event.type = MPEVENT_NONE;
        return len;
    }
    m_sysexBuffer = new QByteArray;
    m_sysexLength = 0;
    return appendSysex(len, bytes);
}

int TMIDITransport::appendSysex(int len, const BYTE* bytes) {
    // Grown by doubling: appending alone re-allocates the whole buffer for nearly every piece of
    // a long dump, which makes receiving it quadratic.
    const qsizetype needed = m_sysexBuffer->size() + len;
    if (m_sysexBuffer->capacity() < needed)
        m_sysexBuffer->reserve(std::max(needed, 2 * m_sysexBuffer->capacity()));
    m_sysexBuffer->append(reinterpret_cast<const char*>(bytes), len);
    m_sysexLength += len;
    if (bytes[len - 1] == kSysexEnd)
        completeBufferedSysex();
    return len;
}

void TMIDITransport::completeBufferedSysex() {
    TRANSPORT_CHECK(kTransportModule, m_sysexLength == static_cast<int>(m_sysexBuffer->size()),
                    "iMsgLength == static_cast< int > ( pQba->count() )");
    m_event.dataLength = static_cast<DWORD>(m_sysexBuffer->size() - 1);
    m_event.longData = reinterpret_cast<BYTE*>(m_sysexBuffer->data()) + 1;
    deliver();
    resetParser();
}

void TMIDITransport::deliver() {
    if (m_sink)
        m_sink->receiveEvent(&m_event);
}
