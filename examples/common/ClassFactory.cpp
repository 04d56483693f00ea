#include "ClassFactory.h"

#include "ModuleCounts.h"

namespace examples {

HRESULT ClassFactory::QueryInterface(REFIID iid, void** out) {
    if (!out)
        return E_POINTER;
    if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IClassFactory)) {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    *out = static_cast<IClassFactory*>(this);
    return S_OK;
}

HRESULT ClassFactory::CreateInstance(IUnknown* outer, REFIID iid, void** out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (outer)
        return CLASS_E_NOAGGREGATION;
    return m_create(iid, out);
}

HRESULT ClassFactory::LockServer(BOOL lock) {
    ModuleCounts::lockServer(lock != FALSE);
    return S_OK;
}

HRESULT getClassObject(const ClassEntry* classes, std::size_t count, REFCLSID clsid, REFIID iid,
                       void** out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    for (std::size_t i = 0; i < count; ++i) {
        if (IsEqualCLSID(*classes[i].clsid, clsid))
            return classes[i].factory->QueryInterface(iid, out);
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

} // namespace examples
