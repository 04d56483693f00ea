// Calls from the GUI thread to the outer application's thread in the component build: the
// outer application's page-hosting calls, and work (opening an editor as one of its pages) that
// must run there. The outer thread owns a hidden window (made by the component build); the GUI
// thread sends it a message and waits until that thread served it. This is the protocol both
// ends share: what is sent, and what the window procedure does with it.
#pragma once

#include <dorvo/dorvo2.h>
#include <dorvo/winuser.h>

#include <functional>
#include <thread>

class TClientThreadCall {
public:
    static constexpr UINT kPageHostCall = WM_USER;
    static constexpr UINT kRunWork = WM_USER + 1;

    // GUI thread, with the window and thread that the Workspace window was given (which may
    // outlive the window): the page host's Call on the client thread, waiting for it; done here
    // when there is no window or this is the client thread; 0 when the window is gone. The
    // status comes back sign-extended.
    static LRESULT callPageHost(HWND window, std::thread::id thread, IMPPageHost* host,
                                IPropertyPage* page, DWORD code, LPVOID data);
    // GUI thread: runs work on the client thread, waiting for it (here, as above).
    static void runOnClientThread(HWND window, std::thread::id thread,
                                  const std::function<void()>& work);

    // The client thread's window procedure.
    static LRESULT windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
};
