#include "TClientThreadCall.h"

namespace {

// One page-hosting call, built on the GUI thread's stack for one synchronous message.
struct PageHostCall {
    IMPPageHost* host;
    IPropertyPage* page;
    DWORD code;
    LPVOID data;
};

LRESULT pageHostCall(const PageHostCall& call) {
    if (!call.host)
        return 0;
    // The status is 32-bit; a negative one stays negative in the wider result.
    return LRESULT(int32_t(call.host->Call(call.page, call.code, call.data)));
}

bool runsHere(HWND window, std::thread::id thread) {
    return !window || thread == std::this_thread::get_id();
}

} // namespace

LRESULT TClientThreadCall::windowProcedure(HWND window, UINT message, WPARAM wParam,
                                           LPARAM lParam) {
    switch (message) {
    case kPageHostCall:
        return pageHostCall(*reinterpret_cast<const PageHostCall*>(wParam));
    case kRunWork:
        (*reinterpret_cast<const std::function<void()>*>(wParam))();
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

LRESULT TClientThreadCall::callPageHost(HWND window, std::thread::id thread, IMPPageHost* host,
                                        IPropertyPage* page, DWORD code, LPVOID data) {
    const PageHostCall call{host, page, code, data};
    if (runsHere(window, thread))
        return pageHostCall(call);
    // A window that went meanwhile answers 0: the call does not reach the outer application.
    return SendMessageW(window, kPageHostCall, reinterpret_cast<WPARAM>(&call), 0);
}

void TClientThreadCall::runOnClientThread(HWND window, std::thread::id thread,
                                          const std::function<void()>& work) {
    if (runsHere(window, thread)) {
        work();
        return;
    }
    SendMessageW(window, kRunWork, reinterpret_cast<WPARAM>(&work), 0);
}
