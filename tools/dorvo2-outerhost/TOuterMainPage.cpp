#include "TOuterMainPage.h"

#include "TOuterConsole.h"
#include "TOuterPage.h"

namespace {

const char kTitle[] = "Dorvo Outer Host";
// Until the page tells its size.
constexpr int kFirstWidth = 400;
constexpr int kFirstHeight = 300;

} // namespace

TOuterMainPage::TOuterMainPage(TOuterWindows& windows) : m_windows(windows) {}

TOuterMainPage::~TOuterMainPage() {
    release();
    if (m_window)
        m_windows.destroy(m_window);
}

bool TOuterMainPage::createWindow() {
    TOuterWindows::Handlers handlers;
    handlers.resized = [this](int width, int height) { resized(width, height); };
    handlers.closeRequested = [this]() { closeRequested(); };
    m_window =
        m_windows.create({0, 0, kFirstWidth, kFirstHeight}, false, kTitle, std::move(handlers));
    if (!m_window)
        TOuterConsole::error("The main window cannot be made");
    return m_window != 0;
}

bool TOuterMainPage::show(IUnknown* component) {
    if (!m_window) {
        TOuterConsole::error("There is no main window");
        return false;
    }
    if (!m_page && !makePage(component))
        return false;
    if (!m_active) {
        TOuterPage::Info info;
        TOuterPage::info(m_page, info);
        m_windows.resize(m_window, info.width, info.height);
        m_windows.map(m_window);
        m_windows.flush();
        const RECT area = TOuterPage::area(info.width, info.height);
        const HRESULT activated = m_page->Activate(TOuterPage::handle(m_window), &area, FALSE);
        if (FAILED(activated)) {
            TOuterConsole::error("The component's page did not activate (0x%08X)",
                                 unsigned(activated));
            m_windows.unmap(m_window);
            return false;
        }
        m_active = true;
        m_width = info.width;
        m_height = info.height;
        m_page->Show(SW_SHOW);
    } else {
        m_windows.map(m_window);
    }
    TOuterConsole::print("window main 0x%X %dx%d", unsigned(m_window), m_width, m_height);
    return true;
}

bool TOuterMainPage::makePage(IUnknown* component) {
    ISpecifyPropertyPages* pages = nullptr;
    if (!component ||
        FAILED(component->QueryInterface(IID_ISpecifyPropertyPages,
                                         reinterpret_cast<void**>(&pages))) ||
        !pages) {
        TOuterConsole::error("The component names no property page");
        return false;
    }
    CAUUID classes{};
    const HRESULT named = pages->GetPages(&classes);
    pages->Release();
    if (FAILED(named) || classes.cElems == 0 || !classes.pElems) {
        TOuterConsole::error("The component names no property page (0x%08X)", unsigned(named));
        CoTaskMemFree(classes.pElems);
        return false;
    }
    const CLSID pageClass = classes.pElems[0];
    CoTaskMemFree(classes.pElems);

    IPropertyPage* page = nullptr;
    const HRESULT created = CoCreateInstance(pageClass, nullptr, CLSCTX_INPROC_SERVER,
                                             IID_IPropertyPage, reinterpret_cast<void**>(&page));
    if (FAILED(created) || !page) {
        TOuterConsole::error("The component's property page cannot be created (0x%08X)",
                             unsigned(created));
        return false;
    }
    // The page is given the component's identity, not one of its interfaces.
    IUnknown* identity = nullptr;
    HRESULT given = component->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity));
    if (SUCCEEDED(given) && identity) {
        given = page->SetObjects(1, &identity);
        identity->Release();
    }
    if (FAILED(given)) {
        TOuterConsole::error("The component's property page refused the component (0x%08X)",
                             unsigned(given));
        page->Release();
        return false;
    }
    m_page = page;
    return true;
}

bool TOuterMainPage::hide() {
    if (m_active)
        m_page->Deactivate();
    m_active = false;
    if (m_window)
        m_windows.unmap(m_window);
    TOuterConsole::print("window main hidden");
    return true;
}

bool TOuterMainPage::resize(int width, int height) {
    if (!m_window) {
        TOuterConsole::error("There is no main window");
        return false;
    }
    m_windows.resize(m_window, width, height);
    return true;
}

void TOuterMainPage::release() {
    if (!m_page)
        return;
    if (m_active)
        m_page->Deactivate();
    m_active = false;
    m_page->SetObjects(0, nullptr);
    m_page->Release();
    m_page = nullptr;
    if (m_window)
        m_windows.unmap(m_window);
    TOuterConsole::print("main page released");
}

void TOuterMainPage::resized(int width, int height) {
    if (!m_active || (width == m_width && height == m_height))
        return;
    m_width = width;
    m_height = height;
    const RECT area = TOuterPage::area(width, height);
    m_page->Move(&area);
    TOuterConsole::print("page moved %dx%d", width, height);
}

void TOuterMainPage::closeRequested() {
    if (m_active)
        m_page->Deactivate();
    m_active = false;
    m_windows.unmap(m_window);
    TOuterConsole::print("window main closed by user");
}
