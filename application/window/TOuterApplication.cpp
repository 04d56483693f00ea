#include "TOuterApplication.h"

#include "TClientThreadCall.h"

namespace {

template <class Interface> Interface* held(Interface* pointer) {
    if (pointer)
        pointer->AddRef();
    return pointer;
}

template <class Interface> void release(Interface*& pointer) {
    if (pointer)
        pointer->Release();
    pointer = nullptr;
}

} // namespace

TOuterApplication::TOuterApplication(IUnknown* host, IMPAsyncOutput* output, IMPPageHost* pageHost)
    : m_host(held(host)), m_output(held(output)), m_pageHost(held(pageHost)) {}

TOuterApplication::~TOuterApplication() {
    release(m_pageHost);
    release(m_output);
    release(m_host);
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

void TOuterApplication::runOnClientThread(const std::function<void()>& work) const {
    TClientThreadCall::runOnClientThread(m_clientWindow, m_clientThread, work);
}
