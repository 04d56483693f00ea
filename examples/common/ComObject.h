// Reference counting and interface lookup shared by the examples' objects. A class derives from
// its interfaces and ComObject, answers findInterface, and puts EXAMPLES_IUNKNOWN in its body;
// that one QueryInterface, AddRef and Release serves all of its interfaces. Objects are not
// aggregatable.
#pragma once

#include <dorvo/objbase.h>

#include <atomic>
#include <new>

namespace examples {

class ComObject {
public:
    ComObject();
    virtual ~ComObject();
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;

    // Any thread.
    HRESULT queryInterface(REFIID iid, void** out);
    ULONG addRef();
    ULONG release();

protected:
    // The interface pointer for iid, without a reference, or null. IID_IUnknown must always
    // give the same pointer: it is the object's identity.
    virtual void* findInterface(REFIID iid) = 0;

private:
    std::atomic<ULONG> m_references{1};
};

// A new object of T (count 1) asked for iid; the caller's reference is the one handed out.
template <typename T> HRESULT createObject(REFIID iid, void** out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    T* object = new (std::nothrow) T;
    if (!object)
        return E_OUTOFMEMORY;
    const HRESULT hr = object->queryInterface(iid, out);
    object->release();
    return hr;
}

} // namespace examples

#define EXAMPLES_IUNKNOWN                                                                          \
    STDMETHOD(QueryInterface)(REFIID iid, void** out) override {                                   \
        return queryInterface(iid, out);                                                           \
    }                                                                                              \
    STDMETHOD_(ULONG, AddRef)() override {                                                         \
        return addRef();                                                                           \
    }                                                                                              \
    STDMETHOD_(ULONG, Release)() override {                                                        \
        return release();                                                                          \
    }
