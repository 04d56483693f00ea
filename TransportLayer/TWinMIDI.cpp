#include "TWinMIDI.h"

#include "TAutoResetEvent.h"
#include "TMIDIInputQueue.h"
#include "TransportCheck.h"

#include <QMutexLocker>
#include <QThread>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <new>

using dorvo::transport::kDriverModule;

namespace {

constexpr UINT kHeaderSize = sizeof(MIDIHDR);

// The flags of a header are changed by the MIDI layer's thread while the sender scans them.
DWORD headerFlags(MIDIHDR& header) {
    return std::atomic_ref<DWORD>(header.dwFlags).load(std::memory_order_acquire);
}

bool isAcceptedShortMessage(BYTE status) {
    return status >= 0x80 && status <= 0xF0;
}

bool isChannelStatus(BYTE status) {
    return status >= 0x80 && status <= 0xEF;
}

UINT deviceIndexOf(int portNumber) {
    return static_cast<UINT>(portNumber - 1);
}

} // namespace

TWinMIDI::TWinMIDI(QObject* parent)
    : TMIDITransport(parent), m_inputHeaders(nullptr), m_inputData(nullptr),
      m_outputHeaders(nullptr), m_outputData(nullptr), m_hMidiIn(nullptr), m_hMidiOut(nullptr),
      m_inputRunning(false), m_inputQueue(nullptr), m_outputDone(nullptr) {}

TWinMIDI::~TWinMIDI() {
    closeInput();
    closeOutput();
}

// ---- Input ----------------------------------------------------------------------------------

bool TWinMIDI::openInput(int portNumber, TMIDIReaderRefConInterface* sink) {
    if (!TRANSPORT_CHECK(kDriverModule, nullptr == m_hMidiIn, "NULL == m_hMidiIn"))
        return false;
    m_sink = sink;
    if (!m_hEventMIDIReader)
        return false;
    if (!allocateInputBlocks()) {
        closeInput();
        return false;
    }
    m_inputRunning = true;
    const MMRESULT opened =
        midiInOpen(&m_hMidiIn, deviceIndexOf(portNumber), reinterpret_cast<DWORD_PTR>(&midiInProc),
                   reinterpret_cast<DWORD_PTR>(this), CALLBACK_FUNCTION);
    if (opened != MMSYSERR_NOERROR) {
        m_hMidiIn = nullptr;
        closeInput();
        return false;
    }
    if (!queueInputBuffers() || !startPusherThread() ||
        midiInStart(m_hMidiIn) != MMSYSERR_NOERROR) {
        closeInput();
        return false;
    }
    return true;
}

bool TWinMIDI::allocateInputBlocks() {
    m_inputQueue = new (std::nothrow) TMIDIInputQueue(kInputQueueSize);
    if (!m_inputQueue || !m_inputQueue->isValid())
        return false;
    m_inputHeaders = static_cast<MIDIHDR*>(std::calloc(kInputBufferCount, sizeof(MIDIHDR)));
    m_inputData = static_cast<char*>(std::malloc(size_t(kInputBufferCount) * kBufferSize));
    if (!m_inputHeaders || !m_inputData)
        return false;
    for (int k = 0; k < kInputBufferCount; ++k) {
        m_inputHeaders[k].lpData = m_inputData + size_t(k) * kBufferSize;
        m_inputHeaders[k].dwBufferLength = kBufferSize;
    }
    return true;
}

bool TWinMIDI::queueInputBuffers() {
    for (int k = 0; k < kInputBufferCount; ++k) {
        MIDIHDR* header = &m_inputHeaders[k];
        header->dwBufferLength = kBufferSize;
        if (midiInPrepareHeader(m_hMidiIn, header, kHeaderSize) != MMSYSERR_NOERROR)
            continue; // the device manages with fewer buffers
        if (midiInAddBuffer(m_hMidiIn, header, kHeaderSize) != MMSYSERR_NOERROR)
            return false;
    }
    return true;
}

void TWinMIDI::closeInput() {
    if (m_hMidiIn)
        queueStopRecord();
    m_inputRunning = false;
    stopPusherThread();
    if (m_hMidiIn)
        releaseInputDevice();
    freeInputBlocks();
    // A message cut off by the close must not be glued to what the next open receives.
    resetParser();
}

void TWinMIDI::queueStopRecord() {
    if (!m_inputQueue)
        return;
    QMutexLocker locker(&m_inputQueue->mutex());
    m_inputRunning = false;
    // Without a reader nobody drains the ring, and nobody needs the stop mark.
    if (!m_pusherThread)
        return;
    while (m_inputQueue->freeSpace() < int(sizeof(InputRecord))) {
        locker.unlock();
        QThread::msleep(1);
        locker.relock();
    }
    const InputRecord stop{MIM_CLOSE, 0};
    m_inputQueue->write(&stop, sizeof stop);
}

void TWinMIDI::releaseInputDevice() {
    MMRESULT mmRes = midiInStop(m_hMidiIn);
    TRANSPORT_CHECK(kDriverModule, MMSYSERR_NOERROR == mmRes, "MMSYSERR_NOERROR == mmRes");
    mmRes = midiInReset(m_hMidiIn);
    TRANSPORT_CHECK(kDriverModule, MMSYSERR_NOERROR == mmRes, "MMSYSERR_NOERROR == mmRes");
    for (int k = 0; k < kInputBufferCount; ++k) {
        mmRes = midiInUnprepareHeader(m_hMidiIn, &m_inputHeaders[k], kHeaderSize);
        TRANSPORT_CHECK(kDriverModule, MMSYSERR_NOERROR == mmRes, "MMSYSERR_NOERROR == mmRes");
    }
    mmRes = midiInClose(m_hMidiIn);
    TRANSPORT_CHECK(kDriverModule, MMSYSERR_NOERROR == mmRes, "MMSYSERR_NOERROR == mmRes");
    m_hMidiIn = nullptr;
}

void TWinMIDI::freeInputBlocks() {
    std::free(m_inputData);
    m_inputData = nullptr;
    std::free(m_inputHeaders);
    m_inputHeaders = nullptr;
    delete m_inputQueue;
    m_inputQueue = nullptr;
}

void TWinMIDI::midiInProc(HMIDIIN, UINT message, DWORD_PTR instance, DWORD_PTR param1, DWORD_PTR) {
    if (instance)
        reinterpret_cast<TWinMIDI*>(instance)->onInputMessage(message, param1);
}

void TWinMIDI::onInputMessage(UINT message, DWORD_PTR param1) {
    InputRecord record{message, 0};
    int needed = 0;
    switch (message) {
    case MIM_DATA:
        // Clock, active sensing and the other system messages are of no use to the components.
        if (!isAcceptedShortMessage(static_cast<BYTE>(param1 & 0xFF)))
            return;
        record.param = static_cast<DWORD>(param1);
        needed = kShortMessageReserve;
        break;
    case MIM_LONGDATA:
    case MIM_LONGERROR:
        if (!inputHeaderIndex(param1, record.param))
            return;
        needed = sizeof(InputRecord);
        break;
    default:
        return;
    }
    TMIDIInputQueue* queue = m_inputQueue;
    if (!queue)
        return;
    const DWORD arrival = dorvoMidiEventTime();
    // A full ring holds a few milliseconds: rather than dropping, this thread of the MIDI
    // layer waits for the reader, and the layer's own queue in front of it takes the burst.
    const auto deadline = std::chrono::steady_clock::now() + kFullRingPatience;
    for (;;) {
        {
            QMutexLocker locker(&queue->mutex());
            if (!m_inputRunning)
                return;
            if (queue->freeSpace() >= needed) {
                queue->write(&record, sizeof record);
                // A short message's arrival follows it, for whatever passes it on.
                if (message == MIM_DATA)
                    queue->write(&arrival, sizeof arrival);
                break;
            }
        }
        m_hEventMIDIReader->set();
        if (std::chrono::steady_clock::now() > deadline) {
            if (!m_inputLossReported.exchange(true))
                qWarning("MIDI driver: the reader takes nothing; input is lost");
            return;
        }
        QThread::usleep(kFullRingPollMicroseconds);
    }
    m_hEventMIDIReader->set();
}

bool TWinMIDI::inputHeaderIndex(DWORD_PTR header, DWORD& index) const {
    const auto first = reinterpret_cast<uintptr_t>(m_inputHeaders);
    if (!m_inputHeaders || header < first)
        return false;
    const uintptr_t offset = header - first;
    if (offset % sizeof(MIDIHDR) != 0 || offset / sizeof(MIDIHDR) >= kInputBufferCount)
        return false;
    index = static_cast<DWORD>(offset / sizeof(MIDIHDR));
    return true;
}

int TWinMIDI::processInput(int, const BYTE*) {
    if (!m_inputQueue)
        return 0;
    for (;;) {
        InputRecord record;
        DWORD arrival = 0;
        {
            QMutexLocker locker(&m_inputQueue->mutex());
            if (m_inputQueue->fillCount() < int(sizeof record))
                return 0;
            m_inputQueue->read(&record, sizeof record);
            if (record.message == MIM_DATA)
                m_inputQueue->read(&arrival, sizeof arrival); // written with the record
        }
        switch (record.message) {
        case MIM_CLOSE:
            return 1;
        case MIM_DATA:
            // A thru filter's send on this thread departs relative to the arrival.
            dorvoMidiSetEventTime(arrival);
            deliverShortMessage(record.param);
            dorvoMidiSetEventTime(0);
            break;
        case MIM_LONGDATA:
            deliverInputBuffer(record.param);
            break;
        case MIM_LONGERROR:
            giveBackInputHeader(&m_inputHeaders[record.param]);
            break;
        default:
            break;
        }
    }
}

void TWinMIDI::deliverShortMessage(DWORD packedMessage) {
    const BYTE packet[4] = {BYTE(packedMessage), BYTE(packedMessage >> 8),
                            BYTE(packedMessage >> 16), BYTE(packedMessage >> 24)};
    TMIDITransport::processInput(sizeof packet, packet);
}

void TWinMIDI::deliverInputBuffer(DWORD index) {
    MIDIHDR* header = &m_inputHeaders[index];
    const DWORD recorded = std::min<DWORD>(header->dwBytesRecorded, kBufferSize);
    if (recorded == 0) {
        giveBackInputHeader(header);
        return;
    }
    // The device may refill the buffer as soon as it has it back, so parse a copy.
    BYTE bytes[kBufferSize];
    std::memcpy(bytes, header->lpData, recorded);
    giveBackInputHeader(header);
    TMIDITransport::processInput(static_cast<int>(recorded), bytes);
}

void TWinMIDI::giveBackInputHeader(MIDIHDR* header) {
    MMRESULT mmRes;
    while ((mmRes = midiInUnprepareHeader(m_hMidiIn, header, kHeaderSize)) == MIDIERR_STILLPLAYING)
        QThread::yieldCurrentThread();
    if (mmRes == MMSYSERR_NOERROR) {
        header->dwFlags = 0;
        header->dwBytesRecorded = 0;
        mmRes = midiInPrepareHeader(m_hMidiIn, header, kHeaderSize);
    }
    if (mmRes == MMSYSERR_NOERROR)
        mmRes = midiInAddBuffer(m_hMidiIn, header, kHeaderSize);
    TRANSPORT_CHECK(kDriverModule, MMSYSERR_NOERROR == mmRes, "MMSYSERR_NOERROR == mmRes");
}

// ---- Output ---------------------------------------------------------------------------------

bool TWinMIDI::openOutput(int portNumber) {
    if (!TRANSPORT_CHECK(kDriverModule, nullptr == m_hMidiOut, "NULL == m_hMidiOut"))
        return false;
    m_outputDone = new (std::nothrow) TAutoResetEvent(false);
    if (!m_outputDone)
        return false;
    if (!allocateOutputBlocks()) {
        closeOutput();
        return false;
    }
    const MMRESULT opened =
        midiOutOpen(&m_hMidiOut, deviceIndexOf(portNumber),
                    reinterpret_cast<DWORD_PTR>(&midiOutProc), 0, CALLBACK_FUNCTION);
    if (opened != MMSYSERR_NOERROR) {
        m_hMidiOut = nullptr;
        closeOutput();
        return false;
    }
    return true;
}

bool TWinMIDI::allocateOutputBlocks() {
    m_outputHeaders = static_cast<MIDIHDR*>(std::calloc(kOutputBufferCount, sizeof(MIDIHDR)));
    m_outputData = static_cast<char*>(std::malloc(size_t(kOutputBufferCount) * kBufferSize));
    if (!m_outputHeaders || !m_outputData)
        return false;
    for (int k = 0; k < kOutputBufferCount; ++k)
        m_outputHeaders[k].lpData = m_outputData + size_t(k) * kBufferSize;
    return true;
}

void TWinMIDI::closeOutput() {
    if (m_hMidiOut) {
        MMRESULT mmRes = midiOutReset(m_hMidiOut);
        TRANSPORT_CHECK(kDriverModule, MMSYSERR_NOERROR == mmRes, "MMSYSERR_NOERROR == mmRes");
        for (int k = 0; k < kOutputBufferCount; ++k) {
            mmRes = midiOutUnprepareHeader(m_hMidiOut, &m_outputHeaders[k], kHeaderSize);
            TRANSPORT_CHECK(kDriverModule, MMSYSERR_NOERROR == mmRes, "MMSYSERR_NOERROR == mmRes");
        }
        mmRes = midiOutClose(m_hMidiOut);
        TRANSPORT_CHECK(kDriverModule, MMSYSERR_NOERROR == mmRes, "MMSYSERR_NOERROR == mmRes");
        m_hMidiOut = nullptr;
    }
    freeOutputBlocks();
    delete m_outputDone;
    m_outputDone = nullptr;
}

void TWinMIDI::freeOutputBlocks() {
    std::free(m_outputData);
    m_outputData = nullptr;
    std::free(m_outputHeaders);
    m_outputHeaders = nullptr;
}

void TWinMIDI::midiOutProc(HMIDIOUT, UINT message, DWORD_PTR, DWORD_PTR param1, DWORD_PTR) {
    if (message != MOM_DONE || !param1)
        return;
    auto* header = reinterpret_cast<MIDIHDR*>(param1);
    const DWORD_PTR event =
        std::atomic_ref<DWORD_PTR>(header->dwUser).load(std::memory_order_acquire);
    if (event)
        reinterpret_cast<TAutoResetEvent*>(event)->set();
}

bool TWinMIDI::send(int length, const BYTE* data, BYTE status) {
    if (!m_hMidiOut || length < 0 || (length > 0 && !data))
        return false;
    if (isChannelStatus(status)) {
        if (length < 1)
            return false; // a channel message has at least one data byte
        DWORD packed = status | DWORD(data[0]) << 8;
        if (length > 1)
            packed |= DWORD(data[1]) << 16;
        waitForLongMessages();
        return midiOutShortMsg(m_hMidiOut, packed) == MMSYSERR_NOERROR;
    }
    return sendLongMessage(length, data, status);
}

bool TWinMIDI::sendLongMessage(int length, const BYTE* data, BYTE status) {
    qint64 remaining = qint64(length) + (status != 0 ? 1 : 0);
    if (remaining < 1)
        return false;
    const BYTE* source = data;
    BYTE pendingStatus = status;
    for (;;) {
        const int chunk = int(std::min<qint64>(remaining, kBufferSize));
        // Slow devices lose data when chunks follow each other without a break.
        const bool waitForCompletion = remaining > chunk;
        if (!sendChunk(pendingStatus, source, chunk, waitForCompletion))
            return false;
        remaining -= chunk;
        if (remaining == 0)
            return true;
        source += pendingStatus != 0 ? chunk - 1 : chunk;
        pendingStatus = 0;
        pauseAfterChunk();
    }
}

bool TWinMIDI::sendChunk(BYTE status, const BYTE* data, int chunkLength, bool waitForCompletion) {
    MIDIHDR* header = takeFreeOutputHeader();
    int filled = 0;
    if (status != 0)
        header->lpData[filled++] = static_cast<char>(status);
    if (chunkLength > filled)
        std::memcpy(header->lpData + filled, data, size_t(chunkLength - filled));
    header->dwBufferLength = static_cast<DWORD>(chunkLength);
    header->dwFlags = 0;
    std::atomic_ref<DWORD_PTR>(header->dwUser)
        .store(waitForCompletion ? reinterpret_cast<DWORD_PTR>(m_outputDone) : 0,
               std::memory_order_release);
    MMRESULT mmRes = midiOutPrepareHeader(m_hMidiOut, header, kHeaderSize);
    if (mmRes == MMSYSERR_NOERROR) {
        mmRes = midiOutLongMsg(m_hMidiOut, header, kHeaderSize);
        if (mmRes == MMSYSERR_NOERROR) {
            if (waitForCompletion)
                waitUntilDone(*header);
            return true;
        }
        midiOutUnprepareHeader(m_hMidiOut, header, kHeaderSize);
    }
    header->dwFlags = 0;
    return false;
}

void TWinMIDI::waitUntilDone(MIDIHDR& header) {
    // The layer marks a header done before it reports it, so a header is taken again while the
    // report of its previous use may still be on its way, and that report can find the new
    // wait. Only the header's own done mark ends the wait.
    do
        m_outputDone->wait();
    while (!(headerFlags(header) & MHDR_DONE));
}

void TWinMIDI::waitForLongMessages() {
    // A short message goes out at once, a long one in the background: without this wait a
    // program change would overtake the dump sent before it.
    for (;;) {
        bool inFlight = false;
        for (int k = 0; k < kOutputBufferCount; ++k)
            inFlight = inFlight || (headerFlags(m_outputHeaders[k]) & MHDR_INQUEUE);
        if (!inFlight)
            return;
        QThread::msleep(1);
    }
}

MIDIHDR* TWinMIDI::takeFreeOutputHeader() {
    for (;;) {
        for (int k = 0; k < kOutputBufferCount; ++k) {
            MIDIHDR* header = &m_outputHeaders[k];
            const DWORD flags = headerFlags(*header);
            if (flags == 0)
                return header;
            if (flags & MHDR_DONE) {
                midiOutUnprepareHeader(m_hMidiOut, header, kHeaderSize);
                return header;
            }
        }
        QThread::yieldCurrentThread();
    }
}

void TWinMIDI::pauseAfterChunk() {
    // The clock counts whole milliseconds, so the completion may lie up to one tick before the
    // reading: one tick more makes sure that a full pause has passed.
    const DWORD completed = timeGetTime();
    for (;;) {
        const DWORD elapsed = timeGetTime() - completed;
        if (elapsed > kChunkPauseMs)
            return;
        QThread::msleep(kChunkPauseMs + 1 - elapsed);
    }
}
