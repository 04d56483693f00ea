// The output that this outer application gives the component: every event the component sends
// is printed, and sent on to the output port when one is open (E_FAIL when it does not go out
// there).
#pragma once

#include <dorvo/dorvo2.h>

#include <atomic>
#include <memory>
#include <mutex>

class TAppMIDIOut;

class TOuterOutput : public IMPAsyncOutput {
public:
    TOuterOutput();

    // Opens machine output port `port` (1-based) for what the component sends; false when it
    // does not open.
    bool openPort(int port);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    // Any thread: prints the event when bit 0 of flags is set.
    HRESULT STDMETHODCALLTYPE SendEvent(const MPEVENT* event, DWORD flags) override;

    int eventsSent() const { return m_eventsSent.load(); }

private:
    virtual ~TOuterOutput();

    std::atomic<ULONG> m_referenceCount{1};
    std::atomic<int> m_eventsSent{0};
    std::mutex m_portLock;
    std::unique_ptr<TAppMIDIOut> m_port;
};
