#include "MidiInHandle.h"

#include "EventTime.h"
#include "HandleSupport.h"

#include <QtGlobal>

#include <algorithm>
#include <cstring>

namespace dorvo::winmm {

MidiInHandle::MidiInHandle(HMIDIIN handle, LPMIDICALLBACK callback, DWORD_PTR instance)
    : m_handle(handle), m_callback(callback), m_instance(instance) {}

MidiInHandle::~MidiInHandle() {
    // The callback thread owns a reference to this object, so the last one can only be dropped
    // here by that thread itself (after a close from inside a callback).
    if (m_thread.joinable())
        m_thread.detach();
}

MMRESULT MidiInHandle::open(MidiBackend& backend, UINT deviceId, const std::string& deviceName) {
    m_deviceName = deviceName;
    m_thread = std::thread([self = shared_from_this()] { self->runCallbacks(); });
    m_threadId = m_thread.get_id();
    const MMRESULT result = backend.openInput(deviceId, *this, m_input);
    if (result != MMSYSERR_NOERROR) {
        m_input.reset();
        stopCallbackThread();
        return result;
    }
    std::lock_guard lock(m_mutex);
    notify(MIM_OPEN, 0, 0);
    return MMSYSERR_NOERROR;
}

MMRESULT MidiInHandle::addBuffer(MIDIHDR* header, UINT size) {
    if (const MMRESULT result = checkHeaderForQueue(header, size); result != MMSYSERR_NOERROR)
        return result;
    std::lock_guard lock(m_mutex);
    if (m_closing)
        return MMSYSERR_INVALHANDLE;
    if (m_lost)
        return MMSYSERR_NODRIVER;
    header->dwBytesRecorded = 0;
    changeHeaderFlags(header, MHDR_INQUEUE, MHDR_DONE);
    m_buffers.push_back(header);
    return MMSYSERR_NOERROR;
}

MMRESULT MidiInHandle::start() {
    std::lock_guard lock(m_mutex);
    if (m_closing)
        return MMSYSERR_INVALHANDLE;
    if (m_lost)
        return MMSYSERR_NODRIVER;
    if (!m_started) {
        m_started = true;
        m_startTime = timeGetTime();
        m_parser.reset();
    }
    return MMSYSERR_NOERROR;
}

MMRESULT MidiInHandle::stop() {
    std::lock_guard lock(m_mutex);
    if (m_closing)
        return MMSYSERR_INVALHANDLE;
    stopLocked();
    return MMSYSERR_NOERROR;
}

MMRESULT MidiInHandle::reset() {
    std::unique_lock lock(m_mutex);
    if (m_closing)
        return MMSYSERR_INVALHANDLE;
    stopLocked();
    while (!m_buffers.empty())
        returnFrontBuffer(MIM_LONGDATA);
    // The caller may free the buffers once this returns: no callback may still be on its way.
    waitUntilNotified(lock);
    return MMSYSERR_NOERROR;
}

MMRESULT MidiInHandle::close() {
    {
        std::lock_guard lock(m_mutex);
        if (m_closing)
            return MMSYSERR_INVALHANDLE;
        if (!m_buffers.empty())
            return MIDIERR_STILLPLAYING;
        m_closing = true;
        m_started = false;
    }
    m_input.reset(); // the backend calls nothing of ours after this
    {
        std::lock_guard lock(m_mutex);
        notify(MIM_CLOSE, 0, 0);
    }
    stopCallbackThread();
    return MMSYSERR_NOERROR;
}

void MidiInHandle::receiveBytes(const std::uint8_t* bytes, std::size_t count) {
    std::lock_guard lock(m_mutex);
    if (!m_started || m_lost)
        return; // the multimedia input drops what arrives while it is stopped
    m_parser.parse(bytes, count, *this);
}

void MidiInHandle::bytesLost() {
    std::lock_guard lock(m_mutex);
    if (!m_started)
        return;
    if (m_parser.inSysex() && !m_droppingSysex && frontBufferHasData())
        returnFrontBuffer(MIM_LONGERROR);
    m_droppingSysex = false;
    m_parser.resynchronize();
    if (!m_lossReported)
        qWarning("MIDI input \"%s\" lost bytes on the way (reported once)", m_deviceName.c_str());
    m_lossReported = true;
}

void MidiInHandle::deviceLost(const std::string& reason) {
    std::lock_guard lock(m_mutex);
    if (m_lost)
        return;
    m_lost = true;
    qWarning("MIDI input \"%s\" is no longer available: %s", m_deviceName.c_str(), reason.c_str());
}

void MidiInHandle::shortMessage(std::uint32_t packed) {
    notify(MIM_DATA, packed, timestamp());
}

void MidiInHandle::invalidMessage(std::uint32_t packed) {
    notify(MIM_ERROR, packed, timestamp());
}

void MidiInHandle::sysexBytes(const std::uint8_t* bytes, std::size_t count) {
    if (m_droppingSysex)
        return;
    while (count > 0) {
        if (m_buffers.empty()) {
            // The rest of this message is lost; filling later buffers with its tail would hand
            // the application bytes that look like a message of their own.
            m_droppingSysex = true;
            if (!m_dropReported)
                qWarning("MIDI input \"%s\": system-exclusive bytes lost, no buffer was queued",
                         m_deviceName.c_str());
            m_dropReported = true;
            return;
        }
        MIDIHDR* header = m_buffers.front();
        const std::size_t room = header->dwBufferLength - header->dwBytesRecorded;
        const std::size_t taken = std::min(room, count);
        std::memcpy(header->lpData + header->dwBytesRecorded, bytes, taken);
        header->dwBytesRecorded += DWORD(taken);
        bytes += taken;
        count -= taken;
        if (header->dwBytesRecorded == header->dwBufferLength)
            returnFrontBuffer(MIM_LONGDATA);
    }
}

void MidiInHandle::sysexEnded() {
    if (!m_droppingSysex && frontBufferHasData())
        returnFrontBuffer(MIM_LONGDATA);
    m_droppingSysex = false;
}

void MidiInHandle::sysexInterrupted() {
    if (!m_droppingSysex && frontBufferHasData())
        returnFrontBuffer(MIM_LONGERROR);
    m_droppingSysex = false;
}

void MidiInHandle::notify(UINT message, DWORD_PTR param1, DWORD_PTR param2) {
    // More than a second of a dense stream waiting for the application: short messages are
    // lost now, and said so. Buffers always go back.
    if ((message == MIM_DATA || message == MIM_ERROR) &&
        m_notifications.size() >= kMaxQueuedNotifications) {
        ++m_lostMessages;
        if (!m_backlogReported)
            qWarning("MIDI input \"%s\": the application takes too long; messages are lost",
                     m_deviceName.c_str());
        m_backlogReported = true;
        return;
    }
    // The backend's arrival time when it gave one; otherwise this is the arrival.
    std::uint32_t arrived = currentEventTime();
    if (arrived == 0)
        arrived = eventTimeNow();
    m_notifications.push_back({message, param1, param2, arrived});
    ++m_notificationsPosted;
    m_wake.notify_one();
}

bool MidiInHandle::frontBufferHasData() const {
    return !m_buffers.empty() && m_buffers.front()->dwBytesRecorded > 0;
}

void MidiInHandle::returnFrontBuffer(UINT message) {
    MIDIHDR* header = m_buffers.front();
    m_buffers.pop_front();
    changeHeaderFlags(header, MHDR_DONE, MHDR_INQUEUE);
    notify(message, reinterpret_cast<DWORD_PTR>(header), timestamp());
}

void MidiInHandle::stopLocked() {
    if (!m_started)
        return;
    // A message under way leaves in its partly filled buffer; empty buffers stay queued.
    if (!m_droppingSysex && frontBufferHasData())
        returnFrontBuffer(MIM_LONGDATA);
    m_started = false;
    m_droppingSysex = false;
    m_parser.reset();
}

void MidiInHandle::waitUntilNotified(std::unique_lock<std::mutex>& lock) {
    if (onCallbackThread())
        return; // a callback that resets its own device cannot wait for itself
    const std::uint64_t target = m_notificationsPosted;
    m_notified.wait(lock, [&] { return m_notificationsDone >= target; });
}

DWORD MidiInHandle::timestamp() const {
    return m_started ? timeGetTime() - m_startTime : 0;
}

void MidiInHandle::runCallbacks() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return !m_notifications.empty() || m_stopThread; });
        if (m_notifications.empty())
            break;
        const Notification next = m_notifications.front();
        m_notifications.pop_front();
        lock.unlock();
        if (m_callback) {
            const ScopedEventTime arrival(next.eventTime);
            m_callback(m_handle, next.message, m_instance, next.param1, next.param2);
        }
        lock.lock();
        ++m_notificationsDone;
        m_notified.notify_all();
    }
}

bool MidiInHandle::onCallbackThread() const {
    return std::this_thread::get_id() == m_threadId;
}

void MidiInHandle::stopCallbackThread() {
    {
        std::lock_guard lock(m_mutex);
        m_stopThread = true;
        m_wake.notify_one();
    }
    if (onCallbackThread())
        m_thread.detach(); // ends after the running callback returns
    else if (m_thread.joinable())
        m_thread.join();
}

} // namespace dorvo::winmm
