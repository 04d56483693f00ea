#include "TOuterPageHost.h"

#include "TOuterConsole.h"
#include "TOuterPage.h"

#include <algorithm>
#include <cstring>

namespace {

// The placement block's value: the block holds a Placement.
constexpr DWORD kPlacementKept = 1;
constexpr int kFirstPageX = 440;
constexpr int kFirstPageY = 40;
constexpr int kCascadeStep = 30;
// Larger than any screen; a block beyond it is not one of this program's.
constexpr std::int32_t kLargest = 16384;

} // namespace

TOuterPageHost::TOuterPageHost(TOuterWindows& windows) : m_windows(windows) {}

TOuterPageHost::~TOuterPageHost() {
    while (!m_open.empty())
        takeDown(m_open.begin());
}

HRESULT TOuterPageHost::call(IPropertyPage* page, DWORD code, LPVOID data) {
    if (!page)
        return E_POINTER;
    switch (code) {
    case MPPAGEHOST_SHOW:
        return show(page, static_cast<const MPPAGEPLACEMENT*>(data));
    case MPPAGEHOST_SHOWAGAIN:
        return showAgain(page);
    case MPPAGEHOST_CLOSE:
        return close(page);
    case MPPAGEHOST_RENAMED:
        return rename(page);
    case MPPAGEHOST_RELEASE:
        return release(page, static_cast<MPPAGEPLACEMENT*>(data));
    default:
        return E_INVALIDARG;
    }
}

HRESULT TOuterPageHost::show(IPropertyPage* page, const MPPAGEPLACEMENT* placement) {
    if (find(page) != m_open.end())
        return showAgain(page);
    // A page shown anew is no longer one that was closed.
    std::erase_if(m_closed, [page](const Closed& closed) { return closed.page == page; });

    TOuterPage::Info info;
    TOuterPage::info(page, info);
    // Beside the main window and cascading, for a display without a window manager (which
    // would place them itself).
    const int cascade = int(m_open.size()) * kCascadeStep;
    TOuterWindows::Geometry geometry{kFirstPageX + cascade, kFirstPageY + cascade, info.width,
                                     info.height};
    Placement kept{};
    const bool placed = placement && placement->value == kPlacementKept && placement->block;
    if (placed)
        std::memcpy(&kept, placement->block, sizeof kept);
    const bool restored = placed && kept.width > 0 && kept.height > 0 && kept.width <= kLargest &&
                          kept.height <= kLargest && kept.x > -kLargest && kept.x < kLargest &&
                          kept.y > -kLargest && kept.y < kLargest;
    if (restored)
        geometry = {kept.x, kept.y, kept.width, kept.height};

    page->AddRef();
    TOuterWindows::Handlers handlers;
    handlers.resized = [this, page](int width, int height) { resized(page, width, height); };
    handlers.closeRequested = [this, page]() { closedByUser(page, "by user "); };
    const xcb_window_t window = m_windows.create(geometry, restored, info.title, handlers);
    if (!window) {
        TOuterConsole::error("No window can be made for the page \"%s\"", info.title.c_str());
        page->Release();
        return E_FAIL;
    }
    m_windows.map(window);
    m_windows.flush();
    const RECT area = TOuterPage::area(geometry.width, geometry.height);
    const HRESULT activated = page->Activate(TOuterPage::handle(window), &area, FALSE);
    if (FAILED(activated)) {
        TOuterConsole::error("The page \"%s\" did not activate (0x%08X)", info.title.c_str(),
                             unsigned(activated));
        m_windows.destroy(window);
        m_windows.flush();
        page->Release();
        return activated;
    }
    page->Show(SW_SHOW);
    m_open.push_back({page, window, info.title, geometry.width, geometry.height});
    TOuterConsole::print("page shown \"%s\" %dx%d window 0x%X%s", info.title.c_str(),
                         geometry.width, geometry.height, unsigned(window),
                         restored ? " (kept placement)" : "");
    return S_OK;
}

HRESULT TOuterPageHost::showAgain(IPropertyPage* page) {
    const auto open = find(page);
    if (open == m_open.end())
        return E_INVALIDARG;
    m_windows.map(open->window);
    TOuterConsole::print("page raised \"%s\"", open->title.c_str());
    return S_OK;
}

HRESULT TOuterPageHost::close(IPropertyPage* page) {
    const auto open = find(page);
    if (open == m_open.end())
        return E_INVALIDARG;
    const Closed closed = takeDown(open);
    TOuterConsole::print("page closed \"%s\"", closed.title.c_str());
    return S_OK;
}

HRESULT TOuterPageHost::rename(IPropertyPage* page) {
    if (find(page) == m_open.end())
        return E_INVALIDARG;
    TOuterPage::Info info;
    const HRESULT asked = TOuterPage::info(page, info);
    if (FAILED(asked))
        return asked;
    // Looked up again: GetPageInfo may wait for the page's own thread, and a close may come
    // in meanwhile.
    const auto open = find(page);
    if (open == m_open.end())
        return E_INVALIDARG;
    open->title = info.title;
    m_windows.setTitle(open->window, info.title);
    TOuterConsole::print("page renamed \"%s\"", info.title.c_str());
    return S_OK;
}

HRESULT TOuterPageHost::release(IPropertyPage* page, MPPAGEPLACEMENT* placement) {
    const auto open = find(page);
    if (open != m_open.end())
        takeDown(open);
    std::string title;
    const auto closed = std::find_if(m_closed.begin(), m_closed.end(),
                                     [page](const Closed& entry) { return entry.page == page; });
    if (closed != m_closed.end()) {
        title = closed->title;
        if (placement) {
            auto* block = static_cast<Placement*>(CoTaskMemAlloc(sizeof(Placement)));
            if (block) {
                *block = closed->placement;
                placement->block = block;
                placement->value = kPlacementKept;
            }
        }
        m_closed.erase(closed);
    } else {
        // Never shown here: nothing to keep.
        TOuterPage::Info info;
        TOuterPage::info(page, info);
        title = info.title;
    }
    TOuterConsole::print("page released \"%s\"", title.c_str());
    return S_OK;
}

bool TOuterPageHost::list() const {
    for (const Open& open : m_open)
        TOuterConsole::print("editor page \"%s\" %dx%d window 0x%X", open.title.c_str(), open.width,
                             open.height, unsigned(open.window));
    return true;
}

bool TOuterPageHost::closeByUser(const std::string& title) {
    const auto open = std::find_if(m_open.begin(), m_open.end(),
                                   [&title](const Open& entry) { return entry.title == title; });
    if (open == m_open.end()) {
        TOuterConsole::error("No editor page is titled \"%s\"", title.c_str());
        return false;
    }
    closedByUser(open->page, "by user ");
    return true;
}

void TOuterPageHost::closeAll() {
    while (!m_open.empty())
        closedByUser(m_open.front().page, "at end ");
}

void TOuterPageHost::closedByUser(IPropertyPage* page, const char* how) {
    const auto open = find(page);
    if (open == m_open.end())
        return;
    const Closed closed = takeDown(open);
    TOuterConsole::print("page closed %s\"%s\"", how, closed.title.c_str());
}

void TOuterPageHost::resized(IPropertyPage* page, int width, int height) {
    const auto open = find(page);
    if (open == m_open.end() || (open->width == width && open->height == height))
        return;
    open->width = width;
    open->height = height;
    const std::string title = open->title;
    const RECT area = TOuterPage::area(width, height);
    page->Move(&area);
    TOuterConsole::print("page moved \"%s\" %dx%d", title.c_str(), width, height);
}

std::vector<TOuterPageHost::Open>::iterator TOuterPageHost::find(IPropertyPage* page) {
    return std::find_if(m_open.begin(), m_open.end(),
                        [page](const Open& entry) { return entry.page == page; });
}

TOuterPageHost::Closed TOuterPageHost::takeDown(std::vector<Open>::iterator entry) {
    // Off the list first: a call that the component makes while the page is deactivated finds
    // it closed already.
    const Open open = *entry;
    m_open.erase(entry);
    const TOuterWindows::Geometry where = m_windows.geometry(open.window);
    Closed closed{open.page, open.title,
                  Placement{where.x, where.y, where.width ? where.width : open.width,
                            where.height ? where.height : open.height}};
    std::erase_if(m_closed, [&open](const Closed& entry) { return entry.page == open.page; });
    m_closed.push_back(closed);
    open.page->Deactivate();
    m_windows.destroy(open.window);
    m_windows.flush();
    open.page->Release();
    return closed;
}
