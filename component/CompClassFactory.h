// The library's two class factories: one builds component objects (CompIMPInitialise), the
// other property pages. They share the interface answers, the reference count and LockServer;
// each builds its own object.
#pragma once

#include <dorvo/objbase.h>

#include <atomic>

class CompClassFactory : public IClassFactory {
public:
    // IUnknown and IClassFactory only; null and E_NOINTERFACE otherwise.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    // Frees the factory at 0.
    ULONG STDMETHODCALLTYPE Release() override;
    // TRUE (exactly 1) raises the library's lock count, any other value lowers it.
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override;

    virtual ~CompClassFactory() = default;

    // DllGetClassObject: the factory of the class asked for interface iid, or
    // CLASS_E_CLASSNOTAVAILABLE for a class of another library.
    static HRESULT getClassObject(REFCLSID classId, REFIID iid, void** out);

protected:
    CompClassFactory() = default;

private:
    std::atomic<ULONG> m_referenceCount{1};
};

class CompIMPInitialiseFactory : public CompClassFactory {
public:
    // A new component object; outer is kept and not refused.
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override;
};

class CompIPropertyPageFactory : public CompClassFactory {
public:
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override;
};
