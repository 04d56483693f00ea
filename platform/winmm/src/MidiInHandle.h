// One open input device: the buffers added by the application, the parsing of what the device
// sends, and the thread on which the application's callback runs.
#pragma once

#include "Backend.h"
#include "MidiInputParser.h"

#include <dorvo/mmsystem.h>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace dorvo::winmm {

class MidiInHandle final : public MidiInputSink,
                           private MidiInputParser::Listener,
                           public std::enable_shared_from_this<MidiInHandle> {
public:
    using Public = HMIDIIN;
    using Callback = LPMIDICALLBACK;

    MidiInHandle(HMIDIIN handle, LPMIDICALLBACK callback, DWORD_PTR instance);
    ~MidiInHandle();
    MidiInHandle(const MidiInHandle&) = delete;
    MidiInHandle& operator=(const MidiInHandle&) = delete;

    // Opens the backend's device and reports MIM_OPEN; the handle must be owned by a
    // shared_ptr already.
    MMRESULT open(MidiBackend& backend, UINT deviceId, const std::string& deviceName);
    MMRESULT addBuffer(MIDIHDR* header, UINT size);
    MMRESULT start();
    MMRESULT stop();
    MMRESULT reset();
    MMRESULT close();

    void receiveBytes(const std::uint8_t* bytes, std::size_t count) override;
    void bytesLost() override;
    void deviceLost(const std::string& reason) override;

private:
    // Notifications waiting for the callback thread: a burst of two seconds at 100,000 short
    // messages a second.
    static constexpr std::size_t kMaxQueuedNotifications = 1u << 18;

    struct Notification {
        UINT message;
        DWORD_PTR param1;
        DWORD_PTR param2;
        std::uint32_t eventTime; // see EventTime.h
    };

    void shortMessage(std::uint32_t packed) override;
    void sysexBytes(const std::uint8_t* bytes, std::size_t count) override;
    void sysexEnded() override;
    void sysexInterrupted() override;
    void invalidMessage(std::uint32_t packed) override;

    // The following expect m_mutex to be held.
    void notify(UINT message, DWORD_PTR param1, DWORD_PTR param2);
    bool frontBufferHasData() const;
    void returnFrontBuffer(UINT message);
    void stopLocked();
    void waitUntilNotified(std::unique_lock<std::mutex>& lock);
    DWORD timestamp() const;

    void runCallbacks();
    bool onCallbackThread() const;
    void stopCallbackThread();

    const HMIDIIN m_handle;
    const LPMIDICALLBACK m_callback;
    const DWORD_PTR m_instance;
    std::string m_deviceName;
    std::unique_ptr<MidiBackendInput> m_input;

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_notified;
    std::deque<MIDIHDR*> m_buffers;
    std::deque<Notification> m_notifications;
    std::size_t m_lostMessages = 0;
    bool m_backlogReported = false;
    std::uint64_t m_notificationsPosted = 0;
    std::uint64_t m_notificationsDone = 0;
    MidiInputParser m_parser;
    bool m_started = false;
    bool m_closing = false;
    bool m_lost = false;
    bool m_droppingSysex = false;
    bool m_dropReported = false;
    bool m_lossReported = false;
    bool m_stopThread = false;
    DWORD m_startTime = 0;
    std::thread m_thread;
    std::thread::id m_threadId;
};

} // namespace dorvo::winmm
