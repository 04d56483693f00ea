// The window classes and message windows of the process, and the functions of <dorvo/winuser.h>.
#include "ThreadMessageQueue.h"

#include <QString>

#include <map>
#include <mutex>

namespace dorvo::user {
namespace {

// Far above any window system's window id (X11 ids have 29 bits).
constexpr uintptr_t kFirstHandle = uintptr_t(0x4D57) << 48;
constexpr ATOM kFirstAtom = 0xC000;

struct WindowClass {
    WNDPROC procedure = nullptr;
    ATOM atom = 0;
    int windows = 0;
};

struct Window {
    QString classKey;
    WNDPROC procedure = nullptr;
    std::shared_ptr<ThreadMessageQueue> queue;
};

std::mutex tableLock;
std::map<QString, WindowClass> classes; // by case-folded name
std::map<HWND, Window> windows;
uintptr_t nextHandle = kFirstHandle;
ATOM nextAtom = kFirstAtom;

QString classKey(LPCWSTR name) {
    return QString::fromUtf16(name).toCaseFolded();
}

// The window's procedure and queue; false for a handle that is no window.
bool findWindow(HWND handle, WNDPROC& procedure, std::shared_ptr<ThreadMessageQueue>& queue) {
    std::lock_guard<std::mutex> lock(tableLock);
    const auto found = windows.find(handle);
    if (found == windows.end())
        return false;
    procedure = found->second.procedure;
    queue = found->second.queue;
    return true;
}

bool ownedByThisThread(const std::shared_ptr<ThreadMessageQueue>& queue) {
    return queue->owner() == std::this_thread::get_id();
}

void removeWindow(HWND handle) {
    std::lock_guard<std::mutex> lock(tableLock);
    const auto found = windows.find(handle);
    if (found == windows.end())
        return;
    const auto windowClass = classes.find(found->second.classKey);
    if (windowClass != classes.end())
        --windowClass->second.windows;
    windows.erase(found);
}

} // namespace

LRESULT callWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    WNDPROC procedure = nullptr;
    std::shared_ptr<ThreadMessageQueue> queue;
    if (!findWindow(window, procedure, queue) || !ownedByThisThread(queue))
        return 0;
    return procedure(window, message, wParam, lParam);
}

void forgetWindowsOf(const ThreadMessageQueue* queue) {
    std::lock_guard<std::mutex> lock(tableLock);
    for (auto it = windows.begin(); it != windows.end();) {
        if (it->second.queue.get() != queue) {
            ++it;
            continue;
        }
        const auto windowClass = classes.find(it->second.classKey);
        if (windowClass != classes.end())
            --windowClass->second.windows;
        it = windows.erase(it);
    }
}

} // namespace dorvo::user

using namespace dorvo::user;

ATOM RegisterClassW(const WNDCLASSW* lpWndClass) {
    if (!lpWndClass || !lpWndClass->lpfnWndProc || !lpWndClass->lpszClassName ||
        !*lpWndClass->lpszClassName)
        return 0;
    std::lock_guard<std::mutex> lock(tableLock);
    const QString key = classKey(lpWndClass->lpszClassName);
    if (classes.count(key) || nextAtom == 0)
        return 0;
    WindowClass& entry = classes[key];
    entry.procedure = lpWndClass->lpfnWndProc;
    entry.atom = nextAtom++;
    return entry.atom;
}

BOOL UnregisterClassW(LPCWSTR lpClassName, HINSTANCE) {
    if (!lpClassName)
        return FALSE;
    std::lock_guard<std::mutex> lock(tableLock);
    const auto found = classes.find(classKey(lpClassName));
    if (found == classes.end() || found->second.windows > 0)
        return FALSE;
    classes.erase(found);
    return TRUE;
}

HWND CreateWindowExW(DWORD dwExStyle, LPCWSTR lpClassName, LPCWSTR lpWindowName, DWORD dwStyle,
                     int X, int Y, int nWidth, int nHeight, HWND hWndParent, HMENU hMenu,
                     HINSTANCE hInstance, LPVOID lpParam) {
    if (!lpClassName)
        return nullptr;
    HWND handle = nullptr;
    {
        std::lock_guard<std::mutex> lock(tableLock);
        const QString key = classKey(lpClassName);
        const auto found = classes.find(key);
        if (found == classes.end())
            return nullptr;
        handle = reinterpret_cast<HWND>(nextHandle++);
        windows[handle] = Window{key, found->second.procedure, ThreadMessageQueue::current()};
        ++found->second.windows;
    }
    CREATESTRUCTW create{lpParam, hInstance, hMenu,         hWndParent,   nHeight,     nWidth,
                         Y,       X,         LONG(dwStyle), lpWindowName, lpClassName, dwExStyle};
    const LPARAM createParameter = reinterpret_cast<LPARAM>(&create);
    if (!callWindowProcedure(handle, WM_NCCREATE, 0, createParameter) ||
        callWindowProcedure(handle, WM_CREATE, 0, createParameter) == -1) {
        DestroyWindow(handle);
        return nullptr;
    }
    return handle;
}

BOOL DestroyWindow(HWND hWnd) {
    WNDPROC procedure = nullptr;
    std::shared_ptr<ThreadMessageQueue> queue;
    if (!findWindow(hWnd, procedure, queue) || !ownedByThisThread(queue))
        return FALSE;
    procedure(hWnd, WM_DESTROY, 0, 0);
    procedure(hWnd, WM_NCDESTROY, 0, 0);
    removeWindow(hWnd);
    queue->forgetWindow(hWnd);
    return TRUE;
}

LRESULT DefWindowProcW(HWND, UINT Msg, WPARAM, LPARAM) {
    return Msg == WM_NCCREATE ? TRUE : 0;
}

LRESULT SendMessageW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    WNDPROC procedure = nullptr;
    std::shared_ptr<ThreadMessageQueue> queue;
    if (!findWindow(hWnd, procedure, queue))
        return 0;
    if (ownedByThisThread(queue))
        return procedure(hWnd, Msg, wParam, lParam);
    auto message = std::make_shared<SentMessage>();
    *message = SentMessage{hWnd, Msg, wParam, lParam, 0, false, ThreadMessageQueue::current()};
    if (!queue->pushSent(message))
        return 0;
    message->sender->waitUntilHandled(*message);
    return message->result;
}

BOOL PostMessageW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    WNDPROC procedure = nullptr;
    std::shared_ptr<ThreadMessageQueue> queue;
    if (!findWindow(hWnd, procedure, queue))
        return FALSE;
    return queue->pushPosted(MSG{hWnd, Msg, wParam, lParam, 0, {0, 0}}) ? TRUE : FALSE;
}

void PostQuitMessage(int nExitCode) {
    ThreadMessageQueue::current()->pushPosted(
        MSG{nullptr, WM_QUIT, WPARAM(LPARAM(nExitCode)), 0, 0, {0, 0}});
}

BOOL GetMessageW(MSG* lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax) {
    if (!lpMsg || hWnd || wMsgFilterMin || wMsgFilterMax)
        return -1;
    const auto queue = ThreadMessageQueue::current();
    for (;;) {
        queue->handleSentMessages();
        if (queue->takePosted(*lpMsg, true))
            return lpMsg->message == WM_QUIT ? FALSE : TRUE;
        queue->waitForMessages();
    }
}

BOOL PeekMessageW(MSG* lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax, UINT wRemoveMsg) {
    if (!lpMsg || hWnd || wMsgFilterMin || wMsgFilterMax)
        return FALSE;
    const auto queue = ThreadMessageQueue::current();
    queue->handleSentMessages();
    return queue->takePosted(*lpMsg, (wRemoveMsg & PM_REMOVE) != 0) ? TRUE : FALSE;
}

LRESULT DispatchMessageW(const MSG* lpMsg) {
    if (!lpMsg || !lpMsg->hwnd)
        return 0;
    return callWindowProcedure(lpMsg->hwnd, lpMsg->message, lpMsg->wParam, lpMsg->lParam);
}

int DorvoMessageQueueFd(void) {
    return ThreadMessageQueue::current()->descriptor();
}

int DorvoDispatchWaitingMessages(void) {
    const auto queue = ThreadMessageQueue::current();
    int handled = queue->handleSentMessages();
    MSG message{};
    while (queue->takePosted(message, true)) {
        if (message.message != WM_QUIT)
            DispatchMessageW(&message);
        ++handled;
    }
    return handled;
}
