// The shape of every host-side service object: an interlocked reference count starting at 1, an
// optional outer object that owns its identity, and an own query function that answers only
// IUnknown and the object's own interface.
//
// While an outer object exists, QueryInterface, AddRef and Release go to it, so that every
// service handed to a component shares the outer object's identity and lifetime. Release goes
// to the outer object only while the outer object is not being destroyed: once its count has
// reached zero and it releases its inner objects, they count their own references and free
// themselves. An object being destroyed ignores AddRef and Release, so that a sink that takes
// and drops a reference to it during the teardown cannot delete it a second time.
//
// The table of a derived class is the interface's methods, then the virtual destructor, then
// any virtual function that the derived class adds.
#pragma once

#include <dorvo/objbase.h>

#include <atomic>
#include <cstddef>
#include <type_traits>

// The own reference count, readable by the inner objects that an object aggregates.
class TReferenceCount {
public:
    // Any thread.
    ULONG referenceCount() const { return m_referenceCount.load(std::memory_order_acquire); }
    // From the moment the count reached zero.
    bool isBeingDestroyed() const { return m_beingDestroyed.load(std::memory_order_acquire); }

protected:
    ULONG incrementReferenceCount() { return m_referenceCount.fetch_add(1) + 1; }
    ULONG decrementReferenceCount() { return m_referenceCount.fetch_sub(1) - 1; }
    void markBeingDestroyed() { m_beingDestroyed.store(true, std::memory_order_release); }

private:
    std::atomic<ULONG> m_referenceCount{1};
    std::atomic<bool> m_beingDestroyed{false};
};

template <class Interface, const IID& OwnIID>
class TInnerObject : public Interface, public TReferenceCount {
    static_assert(std::is_base_of_v<IUnknown, Interface>, "an inner object implements an IUnknown");

public:
    using InterfaceType = Interface;

    // outer may be null; an outer object is one of ours (it has a TReferenceCount) and outlives
    // the inner object's delegated calls.
    template <class Outer>
    explicit TInnerObject(Outer* outer) : m_outer(outer), m_outerCount(outer) {
        static_assert(std::is_base_of_v<IUnknown, Outer> &&
                          std::is_base_of_v<TReferenceCount, Outer>,
                      "an outer object is an IUnknown with a TReferenceCount");
    }
    explicit TInnerObject(std::nullptr_t) : m_outer(nullptr), m_outerCount(nullptr) {}

    TInnerObject(const TInnerObject&) = delete;
    TInnerObject& operator=(const TInnerObject&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (m_outer)
            return m_outer->QueryInterface(iid, out);
        return ownQueryInterface(iid, out);
    }

    ULONG STDMETHODCALLTYPE AddRef() override {
        if (delegates())
            return m_outer->AddRef();
        if (isBeingDestroyed())
            return 1;
        return incrementReferenceCount();
    }

    ULONG STDMETHODCALLTYPE Release() override {
        if (delegates())
            return m_outer->Release();
        if (isBeingDestroyed())
            return 1;
        const ULONG count = decrementReferenceCount();
        if (count == 0) {
            markBeingDestroyed();
            delete this;
        }
        return count;
    }

    // The own query function: IUnknown and the own interface, add-referenced through AddRef
    // (which goes to the outer object when there is one). The outer object asks it directly.
    HRESULT ownQueryInterface(REFIID iid, void** out) {
        if (!out)
            return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, OwnIID)) {
            *out = static_cast<Interface*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }

    // The interface pointer of this object, without a reference.
    Interface* interfacePointer() { return this; }

    virtual ~TInnerObject() = default;

protected:
    IUnknown* outer() const { return m_outer; }

private:
    bool delegates() const { return m_outer && !m_outerCount->isBeingDestroyed(); }

    IUnknown* const m_outer;
    const TReferenceCount* const m_outerCount;
};

// For an outer object's lookup: asks an inner object's own query function; an inner object
// that could not be made answers nothing.
template <class Inner> bool answeredBy(Inner* inner, REFIID iid, void** out) {
    return inner && SUCCEEDED(inner->ownQueryInterface(iid, out));
}
