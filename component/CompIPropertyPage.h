// The component object's property page: the whole Workspace window, placed by the outer
// application into one of its own windows. The page works on the component object that
// SetObjects gave it; activation and moves are carried to the GUI thread when they come from the
// outer application's threads, deactivation happens on the calling thread under the object's
// lock.
#pragma once

#include "TInnerObject.h"

#include <dorvo/objbase.h>

#include <mutex>

class CompIMPInitialise;

class CompIPropertyPage : public TInnerObject<IPropertyPage, IID_IPropertyPage> {
public:
    // Any thread (the class factory): one reference; null without memory.
    static CompIPropertyPage* create(IUnknown* outer);

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

    CompIPropertyPage(const CompIPropertyPage&) = delete;
    CompIPropertyPage& operator=(const CompIPropertyPage&) = delete;

private:
    explicit CompIPropertyPage(IUnknown* outer);
    ~CompIPropertyPage() override;

    // The held component object, referenced for the caller; null when none is held.
    CompIMPInitialise* heldObject();
    void setHeldObject(CompIMPInitialise* object);

    IUnknown* const m_outer;
    std::mutex m_holderLock;
    CompIMPInitialise* m_held = nullptr;
};
