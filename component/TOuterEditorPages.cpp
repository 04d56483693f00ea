#include "TOuterEditorPages.h"

#include "ApplicationWindow.h"
#include "CVEXWrapper.h"
#include "InterfaceReference.h"
#include "ProxyIPropertyPage.h"
#include "ProxyVEX1IPropertyPage.h"

#include <CAppServer.h>

#include <QMetaObject>

#include <vector>

TOuterEditorPages::TOuterEditorPages(ApplicationWindow& window, IMPPageHost* pageHost)
    : m_window(window) {
    dorvo::holdReference(m_pageHost, pageHost);
}

TOuterEditorPages::~TOuterEditorPages() {
    // The icons released their pages before the window let go of this object.
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    for (auto& [wrapper, pages] : m_pages) {
        dorvo::releaseReference(pages.outerPage);
        if (pages.editor) {
            pages.editor->closeEditorPage();
            pages.editor->Release();
        }
        forgetPlacementBlock(pages.placement);
    }
    m_pages.clear();
    dorvo::releaseReference(m_pageHost);
}

bool TOuterEditorPages::canShowPages() const {
    return m_pageHost && m_window.hasClientWindow();
}

HRESULT TOuterEditorPages::callOuter(ProxyIPropertyPage* page, DWORD code, LPVOID data) {
    if (!canShowPages())
        return E_FAIL;
    return static_cast<HRESULT>(m_window.callPageHost(page, code, data));
}

bool TOuterEditorPages::showEditorPage(CVEXWrapper& wrapper) {
    if (showAgain(wrapper))
        return true;
    // The outer application closed the page it had: it lets go of it now, and may keep where
    // it was for the new one.
    releaseOuterPage(wrapper);
    ProxyVEX1IPropertyPage* editor = editorStandIn(wrapper);
    if (!editor)
        return false;
    ProxyIPropertyPage* page = ProxyIPropertyPage::create(editor, wrapper.instanceName());
    if (!page)
        return false;
    MPPAGEPLACEMENT* placement = nullptr;
    {
        std::lock_guard<std::recursive_mutex> lock(m_lock);
        Pages& pages = m_pages[&wrapper];
        if (pages.placement.block)
            placement = &pages.placement;
    }
    // The outer application activates the page while this thread waits for its answer: the
    // activation is recorded and done here afterwards.
    editor->setActivationPending();
    const bool accepted = SUCCEEDED(callOuter(page, MPPAGEHOST_SHOW, placement));
    if (accepted) {
        page->setShown(true);
        std::lock_guard<std::recursive_mutex> lock(m_lock);
        m_pages[&wrapper].outerPage = page;
    } else {
        page->Release();
    }
    editor->completeActivation(accepted);
    return accepted;
}

bool TOuterEditorPages::showAgain(const CVEXWrapper& wrapper) {
    ProxyIPropertyPage* page = nullptr;
    {
        std::lock_guard<std::recursive_mutex> lock(m_lock);
        const auto found = m_pages.find(&wrapper);
        if (found == m_pages.end() || !found->second.outerPage ||
            !found->second.outerPage->isShown())
            return false;
        dorvo::holdReference(page, found->second.outerPage);
    }
    const bool shown = SUCCEEDED(callOuter(page, MPPAGEHOST_SHOWAGAIN, nullptr));
    page->Release();
    return shown;
}

ProxyVEX1IPropertyPage* TOuterEditorPages::editorStandIn(CVEXWrapper& wrapper) {
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    Pages& pages = m_pages[&wrapper];
    if (!pages.editor)
        pages.editor = ProxyVEX1IPropertyPage::create();
    if (!pages.editor)
        return nullptr;
    if (!pages.editor->hasEditorPage()) {
        IPropertyPage* own = wrapper.instance()->createPropertyPage();
        if (!own)
            return nullptr;
        CAppServer::PrepareForBusyAction(nullptr);
        IUnknown* objects[1] = {wrapper.component()};
        own->SetObjects(1, objects);
        pages.editor->setEditorPage(own);
        own->Release();
    }
    return pages.editor;
}

bool TOuterEditorPages::isEditorPageShown(const CVEXWrapper& wrapper) {
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    const auto found = m_pages.find(&wrapper);
    return found != m_pages.end() && found->second.outerPage && found->second.outerPage->isShown();
}

void TOuterEditorPages::releaseOuterPage(const CVEXWrapper& wrapper) {
    ProxyIPropertyPage* page = nullptr;
    MPPAGEPLACEMENT* placement = nullptr;
    {
        std::lock_guard<std::recursive_mutex> lock(m_lock);
        const auto found = m_pages.find(&wrapper);
        if (found == m_pages.end() || !found->second.outerPage)
            return;
        page = found->second.outerPage;
        found->second.outerPage = nullptr;
        // Only this (the GUI) thread touches the placement; the node stays while it works.
        placement = &found->second.placement;
    }
    forgetPlacementBlock(*placement);
    if (FAILED(callOuter(page, MPPAGEHOST_RELEASE, placement)))
        placement->value = 0;
    if (placement->value == 0)
        forgetPlacementBlock(*placement);
    page->Release();
}

void TOuterEditorPages::closeEditorPage(CVEXWrapper& wrapper, bool keepEditor) {
    ProxyIPropertyPage* page = nullptr;
    {
        std::lock_guard<std::recursive_mutex> lock(m_lock);
        const auto found = m_pages.find(&wrapper);
        if (found == m_pages.end())
            return;
        page = found->second.outerPage;
        found->second.outerPage = nullptr;
    }
    if (page) {
        callOuter(page, MPPAGEHOST_CLOSE, nullptr);
        page->Release();
    }
    if (keepEditor)
        return;
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    const auto found = m_pages.find(&wrapper);
    if (found != m_pages.end() && found->second.editor)
        found->second.editor->closeEditorPage();
}

void TOuterEditorPages::renameEditorPage(CVEXWrapper& wrapper) {
    ProxyIPropertyPage* page = nullptr;
    {
        std::lock_guard<std::recursive_mutex> lock(m_lock);
        const auto found = m_pages.find(&wrapper);
        if (found == m_pages.end() || !found->second.outerPage)
            return;
        dorvo::holdReference(page, found->second.outerPage);
    }
    page->setTitle(wrapper.instanceName());
    callOuter(page, MPPAGEHOST_RENAMED, nullptr);
    page->Release();
}

void TOuterEditorPages::releaseEditorPage(CVEXWrapper& wrapper) {
    releaseOuterPage(wrapper);
    Pages pages;
    {
        std::lock_guard<std::recursive_mutex> lock(m_lock);
        const auto found = m_pages.find(&wrapper);
        if (found == m_pages.end())
            return;
        pages = found->second;
        m_pages.erase(found);
    }
    if (pages.editor) {
        pages.editor->closeEditorPage();
        pages.editor->Release();
    }
    // The placement belonged to the icon, which goes now.
    forgetPlacementBlock(pages.placement);
}

void TOuterEditorPages::forgetPlacementBlock(MPPAGEPLACEMENT& placement) {
    placement.value = 0;
    CoTaskMemFree(placement.block);
    placement.block = nullptr;
}

void TOuterEditorPages::closeAllPages() {
    std::vector<ProxyIPropertyPage*> pages;
    {
        std::lock_guard<std::recursive_mutex> lock(m_lock);
        for (auto& [wrapper, entry] : m_pages) {
            if (entry.outerPage)
                pages.push_back(entry.outerPage);
            entry.outerPage = nullptr;
        }
    }
    // This is the outer application's thread: it is called directly.
    for (ProxyIPropertyPage* page : pages) {
        if (m_pageHost)
            m_pageHost->Call(page, MPPAGEHOST_CLOSE, nullptr);
        page->Release();
    }
    // The editors' own pages are the GUI thread's.
    QMetaObject::invokeMethod(
        &m_window,
        [this] {
            std::lock_guard<std::recursive_mutex> lock(m_lock);
            for (auto& [wrapper, entry] : m_pages)
                if (entry.editor && !entry.outerPage)
                    entry.editor->closeEditorPage();
        },
        Qt::QueuedConnection);
}
