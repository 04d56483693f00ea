// The component build's editors as pages of the outer application: per component icon the
// outer application's page (ProxyIPropertyPage), the stand-in that holds the editor's own page
// (ProxyVEX1IPropertyPage) and the placement that the outer application kept. The page-hosting
// calls are made on the outer application's thread, through the window's client window.
#pragma once

#include "TEditorPageHosting.h"

#include <dorvo/dorvo2.h>

#include <map>
#include <mutex>

class ApplicationWindow;
class ProxyIPropertyPage;
class ProxyVEX1IPropertyPage;

class TOuterEditorPages : public TEditorPageHosting {
public:
    // pageHost is referenced; the window outlives this object.
    TOuterEditorPages(ApplicationWindow& window, IMPPageHost* pageHost);
    ~TOuterEditorPages() override;

    TOuterEditorPages(const TOuterEditorPages&) = delete;
    TOuterEditorPages& operator=(const TOuterEditorPages&) = delete;

    bool canShowPages() const override;
    bool showEditorPage(CVEXWrapper& wrapper) override;
    bool isEditorPageShown(const CVEXWrapper& wrapper) override;
    void closeEditorPage(CVEXWrapper& wrapper, bool keepEditor) override;
    void renameEditorPage(CVEXWrapper& wrapper) override;
    void releaseEditorPage(CVEXWrapper& wrapper) override;
    void closeAllPages() override;

private:
    struct Pages {
        ProxyIPropertyPage* outerPage = nullptr;
        ProxyVEX1IPropertyPage* editor = nullptr;
        MPPAGEPLACEMENT placement{0, nullptr};
    };

    // GUI thread; the outer application's answer.
    HRESULT callOuter(ProxyIPropertyPage* page, DWORD code, LPVOID data);
    bool showAgain(const CVEXWrapper& wrapper);
    // GUI thread: the stand-in with the editor's page, made when missing; null on failure.
    ProxyVEX1IPropertyPage* editorStandIn(CVEXWrapper& wrapper);
    // GUI thread: the outer application's page goes (code 4); the outer application may fill
    // the placement for the next one.
    void releaseOuterPage(const CVEXWrapper& wrapper);
    void forgetPlacementBlock(MPPAGEPLACEMENT& placement);

    ApplicationWindow& m_window;
    IMPPageHost* m_pageHost = nullptr;
    // Guards the map: the outer application's thread closes pages too. Never held while the
    // outer application is called from the GUI thread.
    std::recursive_mutex m_lock;
    std::map<const CVEXWrapper*, Pages> m_pages;
};
