// What the outer application gets when a hosted editor is shown as one of its pages: a page
// that passes every call to the page it stands for (the editor's stand-in), except that it
// gives the component's Workspace name as the page's title and ignores SetObjects (the editor's
// page has its object already).
#pragma once

#include "TInnerObject.h"

#include <dorvo/objbase.h>

#include <QString>

#include <atomic>
#include <mutex>

class ProxyIPropertyPage : public TInnerObject<IPropertyPage, IID_IPropertyPage> {
public:
    // Any thread: one reference, standing for page (referenced); null without memory.
    static ProxyIPropertyPage* create(IPropertyPage* page, const QString& title);

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

    // Any thread: the component's name, which GetPageInfo gives as the title.
    void setTitle(const QString& title);
    // Set when the outer application accepted the page; cleared when it deactivates it.
    bool isShown() const { return m_shown.load(); }
    void setShown(bool shown) { m_shown = shown; }

    ProxyIPropertyPage(const ProxyIPropertyPage&) = delete;
    ProxyIPropertyPage& operator=(const ProxyIPropertyPage&) = delete;

private:
    ProxyIPropertyPage(IPropertyPage* page, const QString& title);
    ~ProxyIPropertyPage() override;

    IPropertyPage* const m_page;
    std::mutex m_titleLock;
    QString m_title;
    std::atomic<bool> m_shown{false};
};
