// One open output device: short messages go out on the caller's thread, after the long ones
// sent before them; long buffers are sent one after another by the handle's sender thread,
// which also runs the application's callback.
#pragma once

#include "Backend.h"
#include "SendCancellation.h"

#include <dorvo/mmsystem.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace dorvo::winmm {

class MidiOutHandle final : public std::enable_shared_from_this<MidiOutHandle> {
public:
    using Public = HMIDIOUT;
    using Callback = LPMIDIOUTCALLBACK;

    MidiOutHandle(HMIDIOUT handle, LPMIDIOUTCALLBACK callback, DWORD_PTR instance);
    ~MidiOutHandle();
    MidiOutHandle(const MidiOutHandle&) = delete;
    MidiOutHandle& operator=(const MidiOutHandle&) = delete;

    // Opens the backend's device and reports MOM_OPEN; the handle must be owned by a
    // shared_ptr already.
    MMRESULT open(MidiBackend& backend, UINT deviceId, const std::string& deviceName);
    MMRESULT shortMessage(DWORD message);
    MMRESULT longMessage(MIDIHDR* header, UINT size);
    MMRESULT reset();
    MMRESULT close();

private:
    struct Work {
        UINT message;    // what the callback reports when the work is done
        MIDIHDR* header; // a long buffer to send first, or null
        bool cancelled;  // a reset came after it was queued: report it without sending
    };

    void run();
    void sendLong(MIDIHDR* header);
    void waitForEarlierLongMessages();
    MMRESULT checkResult(MMRESULT result);
    bool onSenderThread() const;
    void stopSenderThread();

    const HMIDIOUT m_handle;
    const LPMIDIOUTCALLBACK m_callback;
    const DWORD_PTR m_instance;
    std::string m_deviceName;

    // Guards m_output's existence and the running status of short messages.
    std::mutex m_outputMutex;
    std::unique_ptr<MidiBackendOutput> m_output;
    std::uint8_t m_runningStatus = 0;

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    std::deque<Work> m_work;
    std::size_t m_longPending = 0;    // queued and in flight
    std::uint64_t m_longQueued = 0;   // ever queued
    std::uint64_t m_longFinished = 0; // ever reported done
    bool m_busy = false;
    bool m_closing = false;
    bool m_stopThread = false;
    SendCancellation m_cancel;
    std::atomic<bool> m_goneReported{false};
    std::thread m_thread;
    std::thread::id m_threadId;
};

} // namespace dorvo::winmm
