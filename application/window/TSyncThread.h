// The worker that runs one component's synchronization: it calls the component's Synchronize
// and, when that returns, posts how it ended to the component's progress handler. A stop
// request records the code the run ends with and asks the component to cancel.
#pragma once

#include <dorvo/wintypes.h>

#include <QThread>
#include <atomic>

class CVEXWrapper;
class ClientIMPClientProgressHandler;

class TSyncThread : public QThread {
    Q_OBJECT
public:
    // GUI thread. Only the low byte of direction reaches the component (1 to the hardware,
    // 0 from it). The handler learns of this thread here.
    TSyncThread(CVEXWrapper* wrapper, DWORD direction, ClientIMPClientProgressHandler* handler);

    // Any thread: only while the thread runs and the first time: records code as the result
    // and calls the component's CancelSynchronize on the calling thread.
    void requestStop(HRESULT code);
    bool stopRequested() const { return m_stopRequested; }
    // The code recorded by a stop request, 0 without one.
    HRESULT recordedResult() const { return m_result; }

protected:
    void run() override;

private:
    CVEXWrapper* const m_wrapper;
    const DWORD m_direction;
    // Taken when the run starts: the user may change the mask while the worker runs.
    const DWORD m_recallMask;
    ClientIMPClientProgressHandler* const m_handler;
    std::atomic<HRESULT> m_result{0};
    std::atomic<bool> m_stopRequested{false};
};
