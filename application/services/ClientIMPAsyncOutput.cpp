#include "ClientIMPAsyncOutput.h"

#include "ClientIUnknown.h"

ClientIMPAsyncOutput::ClientIMPAsyncOutput(ClientIUnknown* host)
    : TInnerObject(host), m_host(host) {}

HRESULT ClientIMPAsyncOutput::SendEvent(const MPEVENT* event, DWORD flags) {
    if (!m_host)
        return E_FAIL;
    return m_host->sendEvent(event, flags);
}
