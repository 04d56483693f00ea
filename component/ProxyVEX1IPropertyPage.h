// The stand-in that the outer application gets for a hosted editor's own property page. The
// editor's page is made of this process's widgets and must be used on the GUI thread, while the
// outer application calls from its own threads: the stand-in places the editor's page into a
// wrapper window of its own (CForeignWindowWrapper) and does every call on the GUI thread,
// carrying the ones that arrive elsewhere.
//
// While the outer application is being asked to show the page (its answer is awaited on the GUI
// thread), an activation is only recorded and completed once the answer came; moves are
// recorded too and show requests dropped.
#pragma once

#include "TInnerObject.h"

#include <dorvo/objbase.h>

#include <QPointer>
#include <QString>

#include <mutex>

class CForeignWindowWrapper;

class ProxyVEX1IPropertyPage : public TInnerObject<IPropertyPage, IID_IPropertyPage> {
public:
    // Any thread: one reference; null without memory.
    static ProxyVEX1IPropertyPage* create();

    HRESULT STDMETHODCALLTYPE SetPageSite(IPropertyPageSite* site) override;
    HRESULT STDMETHODCALLTYPE Activate(HWND parent, LPCRECT rect, BOOL modal) override;
    HRESULT STDMETHODCALLTYPE Deactivate() override;
    HRESULT STDMETHODCALLTYPE GetPageInfo(PROPPAGEINFO* info) override;
    HRESULT STDMETHODCALLTYPE SetObjects(ULONG count, IUnknown** objects) override;
    HRESULT STDMETHODCALLTYPE Show(UINT command) override;
    HRESULT STDMETHODCALLTYPE Move(LPCRECT rect) override;
    HRESULT STDMETHODCALLTYPE IsPageDirty() override;
    HRESULT STDMETHODCALLTYPE Apply() override;
    HRESULT STDMETHODCALLTYPE Help(LPCOLESTR helpDir) override;
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG* message) override;

    // GUI thread: the editor's page (referenced; it has its object already). Its page
    // information is read here, once: the page may make its widgets when asked, which only the
    // GUI thread may do, and the outer application asks from its own thread while the GUI
    // thread waits for it.
    void setEditorPage(IPropertyPage* page);
    bool hasEditorPage();
    // GUI thread: from now until completeActivation, activations and moves are recorded.
    void setActivationPending();
    // GUI thread, after the outer application answered: replays a recorded activation unless
    // the page is active already; with accepted false only ends the pending state.
    void completeActivation(bool accepted);
    // GUI thread: the editor closes: its page is deactivated, given no objects and released.
    void closeEditorPage();

    ProxyVEX1IPropertyPage(const ProxyVEX1IPropertyPage&) = delete;
    ProxyVEX1IPropertyPage& operator=(const ProxyVEX1IPropertyPage&) = delete;

private:
    ProxyVEX1IPropertyPage() : TInnerObject(nullptr) {}
    // The editor's page and the wrapper are closed on the GUI thread, also when the last
    // reference goes on another thread.
    ~ProxyVEX1IPropertyPage() override;

    // GUI thread, under the mutex.
    HRESULT activateHere(HWND parent, const RECT& rect, BOOL modal);
    // GUI thread: deactivated when it was activated, given no objects and released.
    static void closePage(IPropertyPage* page, bool activated);
    void hideAndDetachWrapper();
    IPropertyPage* editorPage();

    QPointer<CForeignWindowWrapper> m_wrapper;
    IPropertyPage* m_editorPage = nullptr;
    bool m_activatedOnce = false;
    std::recursive_mutex m_mutex;
    bool m_active = false;
    bool m_activationPending = false;
    bool m_activationRecorded = false;
    // The editor page's information, as it gave it on the GUI thread.
    bool m_hasPageInfo = false;
    QString m_pageTitle;
    SIZE m_pageSize{0, 0};
    HWND m_pendingParent = nullptr;
    RECT m_pendingRect{0, 0, 0, 0};
};
