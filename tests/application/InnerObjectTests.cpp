// The aggregation shape that every service object shares: delegation to the outer object while
// it lives, and self-release while it is torn down.
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
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetFilterInfo(DWORD*, DWORD*, DWORD*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE FilterSlot5(DWORD) override { return S_OK; }

private:
    bool* m_destroyed;
};

// An outer object that holds one inner object and releases it on its way out.
class Outer : public TInnerObject<IUnknown, IID_IUnknown> {
public:
    explicit Outer(bool* innerDestroyed, bool* destroyed)
        : TInnerObject(nullptr), m_destroyed(destroyed) {
        inner = new Inner(this, innerDestroyed);
    }
    ~Outer() override {
        inner->Release();
        *m_destroyed = true;
    }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (IsEqualIID(iid, IID_IUnknown)) {
            *out = static_cast<IUnknown*>(this);
            AddRef();
            return S_OK;
        }
        return inner->ownQueryInterface(iid, out);
    }

    Inner* inner = nullptr;

private:
    bool* m_destroyed;
};

TEST(InnerObjectTest, DelegatesToTheOuterObjectWhileItLives) {
    bool innerDestroyed = false, outerDestroyed = false;
    auto* outer = new Outer(&innerDestroyed, &outerDestroyed);
    Inner* inner = outer->inner;

    EXPECT_EQ(inner->AddRef(), 2u);
    EXPECT_EQ(outer->referenceCount(), 2u);
    EXPECT_EQ(inner->referenceCount(), 1u);

    IUnknown* identity = nullptr;
    ASSERT_EQ(inner->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)), S_OK);
    EXPECT_EQ(identity, static_cast<IUnknown*>(outer));
    IMPEventFilter* filter = nullptr;
    ASSERT_EQ(outer->QueryInterface(IID_IMPEventFilter, reinterpret_cast<void**>(&filter)), S_OK);
    EXPECT_EQ(filter, inner);
    EXPECT_EQ(outer->referenceCount(), 4u);

    EXPECT_EQ(filter->Release(), 3u);
    EXPECT_EQ(identity->Release(), 2u);
    EXPECT_EQ(inner->Release(), 1u);
    EXPECT_FALSE(innerDestroyed);

    // The last reference goes through the outer object; the inner one frees itself.
    EXPECT_EQ(outer->Release(), 0u);
    EXPECT_TRUE(outerDestroyed);
    EXPECT_TRUE(innerDestroyed);
}

TEST(InnerObjectTest, AnInnerReferenceAloneKeepsTheOuterObjectAlive) {
    bool innerDestroyed = false, outerDestroyed = false;
    auto* outer = new Outer(&innerDestroyed, &outerDestroyed);
    IMPEventFilter* kept = nullptr;
    outer->QueryInterface(IID_IMPEventFilter, reinterpret_cast<void**>(&kept));
    EXPECT_EQ(outer->Release(), 1u);
    EXPECT_FALSE(outerDestroyed);
    EXPECT_EQ(kept->FilterEvents(nullptr, nullptr), S_OK);
    EXPECT_EQ(kept->Release(), 0u);
    EXPECT_TRUE(outerDestroyed);
    EXPECT_TRUE(innerDestroyed);
}

TEST(InnerObjectTest, WithoutOuterObjectItCountsAndAnswersForItself) {
    bool destroyed = false;
    auto* alone = new Inner(static_cast<Outer*>(nullptr), &destroyed);
    IUnknown* identity = nullptr;
    ASSERT_EQ(alone->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)), S_OK);
    EXPECT_EQ(identity, static_cast<IUnknown*>(alone));
    EXPECT_EQ(alone->referenceCount(), 2u);

    void* other = identity;
    EXPECT_EQ(alone->QueryInterface(IID_IMPEventQueue, &other), E_NOINTERFACE);
    EXPECT_EQ(other, nullptr);
    EXPECT_EQ(alone->QueryInterface(IID_IUnknown, nullptr), E_POINTER);

    EXPECT_EQ(identity->Release(), 1u);
    EXPECT_FALSE(destroyed);
    EXPECT_EQ(alone->Release(), 0u);
    EXPECT_TRUE(destroyed);
}

// The destructor follows the interface's methods, so the interface's slots are untouched.
TEST(InnerObjectTest, TheInterfaceSlotsComeFirst) {
    bool destroyed = false;
    auto* alone = new Inner(static_cast<Outer*>(nullptr), &destroyed);
    using Slot = HRESULT (*)(IMPEventFilter*, IMPEventQueue*, const MPFILTERINFO*);
    void** table = *reinterpret_cast<void***>(static_cast<IMPEventFilter*>(alone));
    // Slot 3 is FilterEvents, called the way a component written in C calls it.
    EXPECT_EQ(reinterpret_cast<Slot>(table[3])(alone, nullptr, nullptr), S_OK);
    using ReleaseSlot = ULONG (*)(IMPEventFilter*);
    EXPECT_EQ(reinterpret_cast<ReleaseSlot>(table[2])(alone), 0u);
    EXPECT_TRUE(destroyed);
}

} // namespace
