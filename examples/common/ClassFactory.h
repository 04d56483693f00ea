// The class factories of an example library and the lookup behind its DllGetClassObject.
#pragma once

#include <dorvo/objbase.h>

#include <cstddef>

namespace examples {

using CreateFunction = HRESULT (*)(REFIID iid, void** out);

// A factory of one class. Factories are static objects of the library: not counted, never
// deleted; LockServer keeps the library loaded.
class ClassFactory final : public IClassFactory {
public:
    explicit constexpr ClassFactory(CreateFunction create) : m_create(create) {}

    // Any thread, for all methods.
    STDMETHOD(QueryInterface)(REFIID iid, void** out) override;
    STDMETHOD_(ULONG, AddRef)() override { return 2; }
    STDMETHOD_(ULONG, Release)() override { return 1; }
    STDMETHOD(CreateInstance)(IUnknown* outer, REFIID iid, void** out) override;
    STDMETHOD(LockServer)(BOOL lock) override;

private:
    const CreateFunction m_create;
};

struct ClassEntry {
    const CLSID* clsid;
    ClassFactory* factory;
};

// DllGetClassObject over the library's classes.
HRESULT getClassObject(const ClassEntry* classes, std::size_t count, REFCLSID clsid, REFIID iid,
                       void** out);

} // namespace examples
