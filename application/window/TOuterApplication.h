// What the Workspace window of the component build knows of the outer application that loaded
// it: its host object, its output and its page-hosting interface (each held with a reference,
// each possibly null), and the outer thread's hidden window through which the GUI thread calls
// back into that thread.
#pragma once

#include <dorvo/dorvo2.h>
#include <dorvo/winuser.h>

#include <thread>

class TOuterApplication {
public:
    TOuterApplication(IUnknown* host, IMPAsyncOutput* output, IMPPageHost* pageHost);
    ~TOuterApplication();

    TOuterApplication(const TOuterApplication&) = delete;
    TOuterApplication& operator=(const TOuterApplication&) = delete;

    IUnknown* host() const { return m_host; }
    IMPAsyncOutput* output() const { return m_output; }
    IMPPageHost* pageHost() const { return m_pageHost; }

    // GUI thread: the outer thread's window; the handle may outlive the window.
    void setClientWindow(HWND window, std::thread::id thread);
    bool hasClientWindow() const { return m_clientWindow != nullptr; }
    // GUI thread: the page host's Call, made on the outer thread (0 without a page host).
    LRESULT callPageHost(IPropertyPage* page, DWORD code, LPVOID data) const;

private:
    IUnknown* m_host = nullptr;
    IMPAsyncOutput* m_output = nullptr;
    IMPPageHost* m_pageHost = nullptr;
    HWND m_clientWindow = nullptr;
    std::thread::id m_clientThread;
};
