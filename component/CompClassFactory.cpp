#include "CompClassFactory.h"

#include "CompIMPInitialise.h"
#include "CompIPropertyPage.h"
#include "TComponentServer.h"

#include <new>

HRESULT CompClassFactory::QueryInterface(REFIID iid, void** out) {
    if (!out)
        return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
        *out = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

ULONG CompClassFactory::AddRef() {
    return m_referenceCount.fetch_add(1) + 1;
}

ULONG CompClassFactory::Release() {
    const ULONG count = m_referenceCount.fetch_sub(1) - 1;
    if (count == 0)
        delete this;
    return count;
}

HRESULT CompClassFactory::LockServer(BOOL lock) {
    TComponentServer::lock(lock == 1);
    return S_OK;
}

HRESULT CompClassFactory::getClassObject(REFCLSID classId, REFIID iid, void** out) {
    CompClassFactory* factory = nullptr;
    if (IsEqualCLSID(classId, CLSID_Dorvo2Comp))
        factory = new (std::nothrow) CompIMPInitialiseFactory;
    else if (IsEqualCLSID(classId, CLSID_Dorvo2CompPropertyPage))
        factory = new (std::nothrow) CompIPropertyPageFactory;
    else
        return CLASS_E_CLASSNOTAVAILABLE;
    if (!factory)
        return E_OUTOFMEMORY;
    // The caller's reference keeps a factory it got; one it did not get goes here.
    const HRESULT result = factory->QueryInterface(iid, out);
    factory->Release();
    return result;
}

HRESULT CompIMPInitialiseFactory::CreateInstance(IUnknown* outer, REFIID iid, void** out) {
    CompIMPInitialise* object = CompIMPInitialise::create(outer);
    if (!object)
        return E_OUTOFMEMORY;
    const HRESULT result = object->QueryInterface(iid, out);
    object->Release();
    return result;
}

HRESULT CompIPropertyPageFactory::CreateInstance(IUnknown* outer, REFIID iid, void** out) {
    CompIPropertyPage* page = CompIPropertyPage::create(outer);
    if (!page) {
        if (out)
            *out = nullptr;
        return E_OUTOFMEMORY;
    }
    const HRESULT result = page->QueryInterface(iid, out);
    page->Release();
    return result;
}
