// The editors that the component shows as pages of this outer application (IMPPageHost, which
// the host object passes on to here): each page in a top-level window of its own, titled with
// the page's title, moved along when the window changes size, and closed by the component or by
// the user. Where a page's window was is handed to the component when the page goes, and the
// next window for it opens there again. The component calls only on the thread that runs the
// session, and so does everything else here.
#pragma once

#include "TOuterWindows.h"

#include <dorvo/dorvo2.h>

#include <cstdint>
#include <string>
#include <vector>

class TOuterPageHost {
public:
    explicit TOuterPageHost(TOuterWindows& windows);
    // Closes the pages still open.
    ~TOuterPageHost();

    TOuterPageHost(const TOuterPageHost&) = delete;
    TOuterPageHost& operator=(const TOuterPageHost&) = delete;

    // IMPPageHost::Call: one of the MPPAGEHOST_* codes for page.
    HRESULT call(IPropertyPage* page, DWORD code, LPVOID data);

    // The commands: list the open pages; close the first page of this title as the user would.
    bool list() const;
    bool closeByUser(const std::string& title);
    // At the end of the session, before the component is disconnected: closes every page as
    // the user would, keeping where it was for the component's release of it.
    void closeAll();

private:
    // The content of a placement block: this program's own, opaque to the component.
    struct Placement {
        std::int32_t x;
        std::int32_t y;
        std::int32_t width;
        std::int32_t height;
    };
    struct Open {
        IPropertyPage* page; // referenced
        xcb_window_t window;
        std::string title;
        int width;
        int height;
    };
    // A page this program no longer shows, until the component releases it.
    struct Closed {
        IPropertyPage* page; // not referenced: only compared
        std::string title;
        Placement placement;
    };

    HRESULT show(IPropertyPage* page, const MPPAGEPLACEMENT* placement);
    HRESULT showAgain(IPropertyPage* page);
    HRESULT close(IPropertyPage* page);
    HRESULT rename(IPropertyPage* page);
    HRESULT release(IPropertyPage* page, MPPAGEPLACEMENT* placement);
    void closedByUser(IPropertyPage* page, const char* how);
    void resized(IPropertyPage* page, int width, int height);

    std::vector<Open>::iterator find(IPropertyPage* page);
    // Takes the page off the list, deactivates it, destroys its window and releases it; it is
    // remembered as closed.
    Closed takeDown(std::vector<Open>::iterator open);

    TOuterWindows& m_windows;
    std::vector<Open> m_open;
    std::vector<Closed> m_closed;
};
