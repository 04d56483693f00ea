// The output through which components send MIDI: every event goes to the host object, which
// finds the open output port that the event names. In the component build it goes to the outer
// application's output instead, unchanged.
#pragma once

#include "TInnerObject.h"

#include <dorvo/dorvo2.h>

#include <atomic>

class ClientIUnknown;

class ClientIMPAsyncOutput : public TInnerObject<IMPAsyncOutput, IID_IMPAsyncOutput> {
public:
    // host may be null; every send then fails.
    explicit ClientIMPAsyncOutput(ClientIUnknown* host);
    explicit ClientIMPAsyncOutput(std::nullptr_t) : TInnerObject(nullptr) {}
    ~ClientIMPAsyncOutput() override;

    // Any thread: nothing is sent unless bit 0 of flags is set; E_FAIL when the event's port is
    // not open for output; E_POINTER for a null event. Connected to an outer output: that
    // output's answer, E_NOTIMPL without one.
    HRESULT STDMETHODCALLTYPE SendEvent(const MPEVENT* event, DWORD flags) override;

    // The component build, before any component is connected: the outer application's output
    // (referenced; null leaves sends unanswered with E_NOTIMPL).
    void connect(IMPAsyncOutput* outerOutput);

private:
    ClientIUnknown* const m_host = nullptr;
    bool m_connected = false;
    IMPAsyncOutput* m_outerOutput = nullptr;
};
