// The aggregation shape that every service object shares.
#include "TInnerObject.h"

#include <dorvo/dorvo2.h>

#include <gtest/gtest.h>

namespace {

class Inner : public TInnerObject<IMPEventFilter, IID_IMPEventFilter> {
public:
    template <class Outer>
    Inner(Outer* outer, bool* destroyed) : TInnerObject(outer), m_destroyed(destroyed) {}
    ~Inner() override { *m_destroyed = true; }
    HRESULT STDMETHODCALLTYPE FilterEvents(IMPEventQueue*, const MPFILTERINFO*) override {
        return S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE GetFilterInfo(DWORD*, DWORD*, DWORD*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE FilterSlot5(DWORD) override { return S_OK; }

private:
    bool* m_destroyed;
};

// Holds one inner object and releases it on its way out, as the host object does.
class Outer : public TInnerObject<IUnknown, IID_IUnknown> {
public:
    explicit Outer(bool* innerDestroyed) : TInnerObject(nullptr) {
        inner = new Inner(this, innerDestroyed);
    }
    ~Outer() override { inner->Release(); }
    Inner* inner;
};

TEST(InnerObjectTest, CountsOnTheOuterObjectAndFreesItselfWhenTheOuterGoes) {
    bool innerDestroyed = false;
    auto* outer = new Outer(&innerDestroyed);
    Inner* inner = outer->inner;
    EXPECT_EQ(inner->AddRef(), 2u);
    IUnknown* identity = nullptr;
    ASSERT_EQ(inner->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)), S_OK);
    EXPECT_EQ(identity, static_cast<IUnknown*>(outer));
    EXPECT_EQ(outer->referenceCount(), 3u);
    EXPECT_EQ(inner->referenceCount(), 1u);

    // The outer object's own reference goes first; the inner references keep it alive.
    EXPECT_EQ(outer->Release(), 2u);
    EXPECT_EQ(identity->Release(), 1u);
    EXPECT_FALSE(innerDestroyed);
    EXPECT_EQ(inner->Release(), 0u);
    EXPECT_TRUE(innerDestroyed);
}

// A sink that, while the host object is destroyed, takes and drops a reference to it (through
// an inner object, as a component holding a service does): the outer object is deleted once.
class TouchingOuter : public Outer {
public:
    TouchingOuter(bool* innerDestroyed, int* destructions) : Outer(innerDestroyed) {
        m_destructions = destructions;
    }
    ~TouchingOuter() override {
        ++*m_destructions;
        inner->AddRef();
        inner->Release();
        AddRef();
        Release();
    }

private:
    int* m_destructions = nullptr;
};

TEST(InnerObjectTest, ReferencesTakenDuringTheOuterObjectsTeardownDoNotDestroyItAgain) {
    bool innerDestroyed = false;
    int destructions = 0;
    auto* outer = new TouchingOuter(&innerDestroyed, &destructions);
    EXPECT_EQ(outer->Release(), 0u);
    EXPECT_EQ(destructions, 1);
    EXPECT_TRUE(innerDestroyed);
}

TEST(InnerObjectTest, WithoutOuterObjectItAnswersForItselfThroughItsInterfaceTable) {
    bool destroyed = false;
    auto* alone = new Inner(static_cast<Outer*>(nullptr), &destroyed);
    IMPEventFilter* filter = nullptr;
    ASSERT_EQ(alone->QueryInterface(IID_IMPEventFilter, reinterpret_cast<void**>(&filter)), S_OK);
    EXPECT_EQ(filter, alone);
    void* other = filter;
    EXPECT_EQ(alone->QueryInterface(IID_IMPEventQueue, &other), E_NOINTERFACE);
    EXPECT_EQ(other, nullptr);
    EXPECT_EQ(alone->QueryInterface(IID_IUnknown, nullptr), E_POINTER);

    // Called the way a component written in C calls: the destructor does not shift the slots.
    void** table = *reinterpret_cast<void***>(filter);
    using FilterSlot = HRESULT (*)(IMPEventFilter*, IMPEventQueue*, const MPFILTERINFO*);
    using ReleaseSlot = ULONG (*)(IMPEventFilter*);
    EXPECT_EQ(reinterpret_cast<FilterSlot>(table[3])(filter, nullptr, nullptr), S_FALSE);
    EXPECT_EQ(reinterpret_cast<ReleaseSlot>(table[2])(filter), 1u);
    EXPECT_FALSE(destroyed);
    EXPECT_EQ(reinterpret_cast<ReleaseSlot>(table[2])(filter), 0u);
    EXPECT_TRUE(destroyed);
}

} // namespace
