// The output through which components send MIDI: every event goes to the host object, which
// finds the open output port that the event names.
#pragma once

#include "TInnerObject.h"

#include <dorvo/dorvo2.h>

class ClientIUnknown;

class ClientIMPAsyncOutput : public TInnerObject<IMPAsyncOutput, IID_IMPAsyncOutput> {
public:
    // host may be null; every send then fails.
    explicit ClientIMPAsyncOutput(ClientIUnknown* host);
    explicit ClientIMPAsyncOutput(std::nullptr_t) : TInnerObject(nullptr) {}

    // Any thread: nothing is sent unless bit 0 of flags is set; E_FAIL when the event's port is
    // not open for output; E_POINTER for a null event.
    HRESULT STDMETHODCALLTYPE SendEvent(const MPEVENT* event, DWORD flags) override;

private:
    ClientIUnknown* const m_host = nullptr;
};
