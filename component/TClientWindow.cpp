#include "TClientWindow.h"

#include "TClientThreadCall.h"

#include <mutex>

namespace {

const WCHAR kClassName[] = u"MsToClient";

std::mutex classLock;
bool classRegistered = false;
int windows = 0;

} // namespace

HRESULT TClientWindow::create(HINSTANCE module) {
    std::lock_guard<std::mutex> lock(classLock);
    if (!classRegistered) {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = TClientThreadCall::windowProcedure;
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
