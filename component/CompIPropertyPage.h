// The component object's property page: the whole Workspace window, placed by the outer
// application into one of its own windows. The page works on the component object that
// SetObjects gave it; activation and moves are carried to the GUI thread when they come from the
// outer application's threads, deactivation happens on the calling thread under the object's
// lock.
#pragma once

#include <dorvo/objbase.h>

#include <atomic>
#include <mutex>

class CompIMPInitialise;

class CompIPropertyPage : public IPropertyPage {
public:
    // Any thread (the class factory): one reference; null without memory.
    static CompIPropertyPage* create(IUnknown* outer);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

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
    virtual ~CompIPropertyPage();

    // The held component object, referenced for the caller; null when none is held.
    CompIMPInitialise* heldObject();
    void setHeldObject(CompIMPInitialise* object);

    std::atomic<ULONG> m_referenceCount{1};
    IUnknown* const m_outer;
    std::mutex m_holderLock;
    CompIMPInitialise* m_held = nullptr;
};
