#include "ClientIMPAsyncOutput.h"

#include "ClientIUnknown.h"
#include "InterfaceReference.h"

ClientIMPAsyncOutput::ClientIMPAsyncOutput(ClientIUnknown* host)
    : TInnerObject(host), m_host(host) {}

ClientIMPAsyncOutput::~ClientIMPAsyncOutput() {
    dorvo::releaseReference(m_outerOutput);
}

void ClientIMPAsyncOutput::connect(IMPAsyncOutput* outerOutput) {
    dorvo::holdReference(m_outerOutput, outerOutput);
    m_connected = true;
}

HRESULT ClientIMPAsyncOutput::SendEvent(const MPEVENT* event, DWORD flags) {
    if (m_connected)
        return m_outerOutput ? m_outerOutput->SendEvent(event, flags) : E_NOTIMPL;
    if (!m_host)
        return E_FAIL;
    return m_host->sendEvent(event, flags);
}
