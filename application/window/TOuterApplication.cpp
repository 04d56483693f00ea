#include "TOuterApplication.h"

#include "InterfaceReference.h"
#include "TClientThreadCall.h"

TOuterApplication::TOuterApplication(IUnknown* host, IMPAsyncOutput* output,
                                     IMPPageHost* pageHost) {
    dorvo::holdReference(m_host, host);
    dorvo::holdReference(m_output, output);
    dorvo::holdReference(m_pageHost, pageHost);
}

TOuterApplication::~TOuterApplication() {
    dorvo::releaseReference(m_pageHost);
    dorvo::releaseReference(m_output);
    dorvo::releaseReference(m_host);
}

void TOuterApplication::setClientWindow(HWND window, std::thread::id thread) {
    m_clientWindow = window;
    m_clientThread = thread;
}

LRESULT TOuterApplication::callPageHost(IPropertyPage* page, DWORD code, LPVOID data) const {
    if (!m_pageHost)
        return 0;
    return TClientThreadCall::callPageHost(m_clientWindow, m_clientThread, m_pageHost, page, code,
                                           data);
}
