// The component's own property page in this outer application's main window, as a sequencer
// shows a plug-in's editor: made from the class that the component names, given the component,
// activated into the window at the size it asks for, and moved along when the window changes
// size. Closing the window hides the page; the program goes on.
#pragma once

#include "TOuterWindows.h"

#include <dorvo/objbase.h>

class TOuterMainPage {
public:
    explicit TOuterMainPage(TOuterWindows& windows);
    // Releases the page and destroys the window.
    ~TOuterMainPage();

    TOuterMainPage(const TOuterMainPage&) = delete;
    TOuterMainPage& operator=(const TOuterMainPage&) = delete;

    // The main window, titled and not yet mapped; false when it cannot be made.
    bool createWindow();

    // The commands; each reports what it did or why it failed.
    // Makes the page the first time, sizes and maps the window and activates the page in it.
    bool show(IUnknown* component);
    bool hide();
    // The page follows once the window has the new size.
    bool resize(int width, int height);
    // Deactivates the page, hands it back its objects and releases it.
    void release();

private:
    bool makePage(IUnknown* component);
    void resized(int width, int height);
    void closeRequested();

    TOuterWindows& m_windows;
    xcb_window_t m_window = 0;
    IPropertyPage* m_page = nullptr;
    bool m_active = false;
    // Where the page was put last, so that a size the window already had moves nothing.
    int m_width = 0;
    int m_height = 0;
};
