#include "MidiOutHandle.h"

#include "HandleSupport.h"
#include "MidiBytes.h"

#include <QtGlobal>

namespace dorvo::winmm {

MidiOutHandle::MidiOutHandle(HMIDIOUT handle, LPMIDIOUTCALLBACK callback, DWORD_PTR instance)
    : m_handle(handle), m_callback(callback), m_instance(instance) {}

MidiOutHandle::~MidiOutHandle() {
    // As for input handles: only the sender thread itself can drop the last reference while it
    // runs (after a close from inside a callback).
    if (m_thread.joinable())
        m_thread.detach();
}

MMRESULT MidiOutHandle::open(MidiBackend& backend, UINT deviceId, const std::string& deviceName) {
    m_deviceName = deviceName;
    m_thread = std::thread([self = shared_from_this()] { self->run(); });
    m_threadId = m_thread.get_id();
    std::unique_ptr<MidiBackendOutput> output;
    const MMRESULT result = backend.openOutput(deviceId, output);
    if (result != MMSYSERR_NOERROR) {
        stopSenderThread();
        return result;
    }
    {
        std::lock_guard lock(m_outputMutex);
        m_output = std::move(output);
    }
    std::lock_guard lock(m_mutex);
    m_work.push_back({MOM_OPEN, nullptr, false});
    m_wake.notify_one();
    return MMSYSERR_NOERROR;
}

MMRESULT MidiOutHandle::shortMessage(DWORD message) {
    std::uint8_t bytes[3] = {std::uint8_t(message), std::uint8_t(message >> 8),
                             std::uint8_t(message >> 16)};
    waitForEarlierLongMessages();
    std::lock_guard lock(m_outputMutex);
    if (!m_output)
        return MMSYSERR_INVALHANDLE;
    if (!isStatusByte(bytes[0])) {
        // Running status: the message carries data bytes only, one place lower.
        if (m_runningStatus == 0)
            return MMSYSERR_INVALPARAM;
        bytes[2] = bytes[1];
        bytes[1] = bytes[0];
        bytes[0] = m_runningStatus;
    }
    const std::size_t length = shortMessageLength(bytes[0]);
    if (length == 0)
        return MMSYSERR_INVALPARAM; // system-exclusive bytes travel in long messages
    for (std::size_t i = 1; i < length; ++i) {
        if (isStatusByte(bytes[i]))
            return MMSYSERR_INVALPARAM;
    }
    if (isChannelStatus(bytes[0]))
        m_runningStatus = bytes[0];
    else if (!isRealTimeByte(bytes[0]))
        m_runningStatus = 0;
    return checkResult(m_output->sendShort(bytes, length));
}

MMRESULT MidiOutHandle::longMessage(MIDIHDR* header, UINT size) {
    if (const MMRESULT result = checkHeaderForQueue(header, size); result != MMSYSERR_NOERROR)
        return result;
    {
        std::lock_guard lock(m_outputMutex);
        if (!m_output)
            return MMSYSERR_INVALHANDLE;
        if (m_output->isGone())
            return checkResult(MIDIERR_NODEVICE);
    }
    std::lock_guard lock(m_mutex);
    if (m_closing)
        return MMSYSERR_INVALHANDLE;
    changeHeaderFlags(header, MHDR_INQUEUE, MHDR_DONE);
    m_work.push_back({MOM_DONE, header, false});
    ++m_longPending;
    ++m_longQueued;
    m_wake.notify_one();
    return MMSYSERR_NOERROR;
}

MMRESULT MidiOutHandle::reset() {
    std::unique_lock lock(m_mutex);
    if (m_closing)
        return MMSYSERR_INVALHANDLE;
    for (Work& work : m_work)
        work.cancelled = true;
    m_cancel.cancel();
    // The caller may free its buffers once this returns: every one must be reported first.
    if (!onSenderThread())
        m_idle.wait(lock, [this] { return m_longPending == 0 && !m_busy; });
    m_cancel.clear();
    lock.unlock();
    std::lock_guard outputLock(m_outputMutex);
    if (m_output)
        m_output->resetStream();
    return MMSYSERR_NOERROR;
}

MMRESULT MidiOutHandle::close() {
    {
        std::lock_guard lock(m_mutex);
        if (m_closing)
            return MMSYSERR_INVALHANDLE;
        if (m_longPending > 0)
            return MIDIERR_STILLPLAYING;
        m_closing = true;
        m_work.push_back({MOM_CLOSE, nullptr, false});
    }
    stopSenderThread();
    std::unique_ptr<MidiBackendOutput> output;
    {
        std::lock_guard lock(m_outputMutex);
        output = std::move(m_output);
    }
    return MMSYSERR_NOERROR;
}

void MidiOutHandle::run() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return !m_work.empty() || m_stopThread; });
        if (m_work.empty())
            break;
        const Work work = m_work.front();
        m_work.pop_front();
        m_busy = true;
        lock.unlock();
        if (work.header) {
            if (!work.cancelled)
                sendLong(work.header);
            changeHeaderFlags(work.header, MHDR_DONE, MHDR_INQUEUE);
            // Done before its report, so that the report may close the device; a reset still
            // waits for the report through m_busy.
            std::lock_guard pendingLock(m_mutex);
            --m_longPending;
            ++m_longFinished;
            m_idle.notify_all();
        }
        if (m_callback)
            m_callback(m_handle, work.message, m_instance, reinterpret_cast<DWORD_PTR>(work.header),
                       0);
        lock.lock();
        m_busy = false;
        m_idle.notify_all();
    }
}

void MidiOutHandle::sendLong(MIDIHDR* header) {
    // m_output stays until the sender thread has ended (close waits for it), so it is read
    // without the lock here: holding it would hold short messages back for the whole send.
    MidiBackendOutput* output = nullptr;
    {
        std::lock_guard lock(m_outputMutex);
        output = m_output.get();
    }
    if (output == nullptr)
        return;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(header->lpData);
    checkResult(output->sendLong(bytes, header->dwBufferLength, m_cancel));
}

// Messages leave in the order they were sent: a short message would otherwise overtake a long
// one still queued, or land in the middle of a system-exclusive message on the wire.
void MidiOutHandle::waitForEarlierLongMessages() {
    if (onSenderThread())
        return; // a report's own sends: what was queued after it cannot go first
    std::unique_lock lock(m_mutex);
    const std::uint64_t queued = m_longQueued;
    m_idle.wait(lock, [&] { return m_longFinished >= queued || m_closing; });
}

MMRESULT MidiOutHandle::checkResult(MMRESULT result) {
    if (result == MIDIERR_NODEVICE && !m_goneReported.exchange(true))
        qWarning("MIDI output \"%s\" is no longer available", m_deviceName.c_str());
    return result;
}

bool MidiOutHandle::onSenderThread() const {
    return std::this_thread::get_id() == m_threadId;
}

void MidiOutHandle::stopSenderThread() {
    {
        std::lock_guard lock(m_mutex);
        m_stopThread = true;
        m_wake.notify_one();
    }
    if (onSenderThread())
        m_thread.detach(); // ends after the running callback returns
    else if (m_thread.joinable())
        m_thread.join();
}

} // namespace dorvo::winmm
