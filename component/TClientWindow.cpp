#include "TClientWindow.h"

#include <mutex>

namespace {

const WCHAR kClassName[] = u"MsToClient";

// One page-hosting call, built on the GUI thread's stack for one synchronous message.
struct PageHostCall {
    IMPPageHost* host;
    IPropertyPage* page;
    DWORD code;
    LPVOID data;
};

std::mutex classLock;
bool classRegistered = false;
int windows = 0;

LRESULT pageHostCall(const PageHostCall& call) {
    // The status is 32-bit; a negative one stays negative in the wider result.
    return LRESULT(int32_t(call.host->Call(call.page, call.code, call.data)));
}

LRESULT clientWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case TClientWindow::kPageHostCall:
        return pageHostCall(*reinterpret_cast<const PageHostCall*>(wParam));
    case TClientWindow::kRunWork:
        (*reinterpret_cast<const std::function<void()>*>(wParam))();
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

} // namespace

HRESULT TClientWindow::create(HINSTANCE module) {
    std::lock_guard<std::mutex> lock(classLock);
    if (!classRegistered) {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = clientWindowProcedure;
        windowClass.hInstance = module;
        windowClass.lpszClassName = kClassName;
        if (!RegisterClassW(&windowClass))
            return E_OUTOFMEMORY;
        classRegistered = true;
    }
    if (m_window)
        return S_OK;
    m_window = CreateWindowExW(0, kClassName, nullptr, WS_POPUP, CW_USEDEFAULT, 0, CW_USEDEFAULT, 0,
                               nullptr, nullptr, module, nullptr);
    if (!m_window)
        return E_OUTOFMEMORY;
    ++windows;
    m_thread = std::this_thread::get_id();
    return S_OK;
}

void TClientWindow::destroy() {
    std::lock_guard<std::mutex> lock(classLock);
    if (!m_window)
        return;
    DestroyWindow(m_window);
    m_window = nullptr;
    m_thread = {};
    if (--windows == 0 && classRegistered) {
        UnregisterClassW(kClassName, nullptr);
        classRegistered = false;
    }
}

int TClientWindow::windowCount() {
    std::lock_guard<std::mutex> lock(classLock);
    return windows;
}

namespace {

bool runsHere(HWND window, std::thread::id thread) {
    return !window || thread == std::this_thread::get_id();
}

} // namespace

LRESULT TClientWindow::callPageHost(HWND window, std::thread::id thread, IMPPageHost* host,
                                    IPropertyPage* page, DWORD code, LPVOID data) {
    const PageHostCall call{host, page, code, data};
    if (runsHere(window, thread))
        return pageHostCall(call);
    // A window that went meanwhile answers 0: the call does not reach the outer application.
    return SendMessageW(window, kPageHostCall, reinterpret_cast<WPARAM>(&call), 0);
}

void TClientWindow::runOnClientThread(HWND window, std::thread::id thread,
                                      const std::function<void()>& work) {
    if (runsHere(window, thread)) {
        work();
        return;
    }
    SendMessageW(window, kRunWork, reinterpret_cast<WPARAM>(&work), 0);
}
