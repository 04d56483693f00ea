// The hidden "MsToClient" window of one component object: made on the outer application's
// thread, so that the GUI thread can run work there (the outer application's page-hosting calls,
// and opening an editor as a page of the outer application), waiting until that thread served
// its messages (TClientThreadCall). The window class lives while any such window exists.
#pragma once

#include <dorvo/dorvo2.h>
#include <dorvo/winuser.h>

#include <thread>

class TClientWindow {
public:
    TClientWindow() = default;
    TClientWindow(const TClientWindow&) = delete;
    TClientWindow& operator=(const TClientWindow&) = delete;

    // Outer thread: makes the window on the calling thread; S_OK when it exists already,
    // E_OUTOFMEMORY when the class or the window cannot be made.
    HRESULT create(HINSTANCE module);
    // The thread that made it: destroys the window; the last one takes the class along.
    void destroy();

    bool exists() const { return m_window != nullptr; }
    HWND window() const { return m_window; }
    std::thread::id thread() const { return m_thread; }

    // The number of client windows in the process.
    static int windowCount();

private:
    HWND m_window = nullptr;
    std::thread::id m_thread;
};
