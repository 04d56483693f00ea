// An in-process server with one class, written as a third party would against the SDK: the
// object answers IPersist and IMPEventFilter, can be aggregated, and keeps its library loaded
// while it lives. Its registration writes the class key with its own library path.
#include "TestComponentIds.h"

#include <dorvo/dorvo2.h>
#include <dorvo/winreg.h>

#include <atomic>
#include <new>
#include <string>

namespace {

std::atomic<long> g_objects{0};
std::atomic<long> g_locks{0};

class TestObject final : public IPersist, public IMPEventFilter {
public:
    explicit TestObject(IUnknown* outer) : m_inner(this), m_outer(outer ? outer : &m_inner) {
        ++g_objects;
    }
    ~TestObject() { --g_objects; }

    IUnknown* nonDelegatingUnknown() { return &m_inner; }

    // Every interface but the inner unknown speaks for the outer object.
    STDMETHOD(QueryInterface)(REFIID riid, void** ppv) override {
        return m_outer->QueryInterface(riid, ppv);
    }
    STDMETHOD_(ULONG, AddRef)() override { return m_outer->AddRef(); }
    STDMETHOD_(ULONG, Release)() override { return m_outer->Release(); }

    STDMETHOD(GetClassID)(CLSID* pClassID) override {
        if (!pClassID)
            return E_POINTER;
        *pClassID = CLSID_DorvoTestComponent;
        return S_OK;
    }

    STDMETHOD(FilterEvents)(IMPEventQueue*, const MPFILTERINFO*) override { return S_OK; }
    STDMETHOD(GetFilterInfo)(DWORD* a, DWORD* b, DWORD* c) override {
        if (!a || !b || !c)
            return E_POINTER;
        *a = 2;
        *b = 2;
        *c = 7;
        return S_OK;
    }
    STDMETHOD(FilterSlot5)(DWORD) override { return S_OK; }

private:
    // The object's own identity, which the outer object holds when it aggregates this one.
    struct InnerUnknown : IUnknown {
        explicit InnerUnknown(TestObject* object) : m_object(object) {}
        TestObject* self() { return m_object; }
        TestObject* m_object;

        STDMETHOD(QueryInterface)(REFIID riid, void** ppv) override {
            if (!ppv)
                return E_POINTER;
            TestObject* object = self();
            if (IsEqualIID(riid, IID_IUnknown))
                *ppv = static_cast<IUnknown*>(this);
            else if (IsEqualIID(riid, IID_IPersist))
                *ppv = static_cast<IPersist*>(object);
            else if (IsEqualIID(riid, IID_IMPEventFilter))
                *ppv = static_cast<IMPEventFilter*>(object);
            else {
                *ppv = nullptr;
                return E_NOINTERFACE;
            }
            static_cast<IUnknown*>(*ppv)->AddRef();
            return S_OK;
        }
        STDMETHOD_(ULONG, AddRef)() override { return ++self()->m_refs; }
        STDMETHOD_(ULONG, Release)() override {
            const ULONG refs = --self()->m_refs;
            if (refs == 0)
                delete self();
            return refs;
        }
    };

    InnerUnknown m_inner;
    IUnknown* m_outer;
    std::atomic<ULONG> m_refs{1};
};

class TestFactory : public IClassFactory {
public:
    STDMETHOD(QueryInterface)(REFIID riid, void** ppv) override {
        if (!ppv)
            return E_POINTER;
        if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IClassFactory)) {
            *ppv = nullptr;
            return E_NOINTERFACE;
        }
        *ppv = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    // The factory is static and not counted, as a library's factories commonly are.
    STDMETHOD_(ULONG, AddRef)() override { return 2; }
    STDMETHOD_(ULONG, Release)() override { return 1; }

    STDMETHOD(CreateInstance)(IUnknown* outer, REFIID riid, void** ppv) override {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        if (outer && !IsEqualIID(riid, IID_IUnknown))
            return CLASS_E_NOAGGREGATION;
        auto* object = new (std::nothrow) TestObject(outer);
        if (!object)
            return E_OUTOFMEMORY;
        IUnknown* inner = object->nonDelegatingUnknown();
        const HRESULT hr = inner->QueryInterface(riid, ppv);
        inner->Release();
        return hr;
    }
    STDMETHOD(LockServer)(BOOL lock) override {
        lock ? ++g_locks : --g_locks;
        return S_OK;
    }
};

TestFactory g_factory;

std::u16string classKeyName() {
    LPOLESTR text = nullptr;
    if (FAILED(StringFromCLSID(CLSID_DorvoTestComponent, &text)))
        return {};
    std::u16string name = u"CLSID\\" + std::u16string(text);
    CoTaskMemFree(text);
    return name;
}

bool setText(HKEY key, const char16_t* name, const std::u16string& text) {
    const auto bytes = DWORD((text.size() + 1) * sizeof(WCHAR));
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          bytes) == ERROR_SUCCESS;
}

bool writeKey(const std::u16string& keyName, const char16_t* valueName, const std::u16string& text,
              const char16_t* valueName2 = nullptr, const std::u16string& text2 = {}) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CLASSES_ROOT, keyName.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    bool ok = setText(key, valueName, text);
    if (ok && valueName2)
        ok = setText(key, valueName2, text2);
    RegCloseKey(key);
    return ok;
}

const int g_moduleAnchor = 0;

} // namespace

extern "C" {

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv) {
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (!IsEqualCLSID(rclsid, CLSID_DorvoTestComponent))
        return CLASS_E_CLASSNOTAVAILABLE;
    return g_factory.QueryInterface(riid, ppv);
}

STDAPI DllCanUnloadNow(void) {
    return g_objects == 0 && g_locks == 0 ? S_OK : S_FALSE;
}

STDAPI DllRegisterServer(void) {
    WCHAR path[260];
    if (DorvoGetModuleFileName(&g_moduleAnchor, path, 260) == 0)
        return SELFREG_E_CLASS;
    const std::u16string keyName = classKeyName();
    if (keyName.empty() || !writeKey(keyName, nullptr, kTestComponentDescription) ||
        !writeKey(keyName + u"\\InprocServer32", nullptr, path, u"ThreadingModel",
                  kTestComponentThreadingModel))
        return SELFREG_E_CLASS;
    return S_OK;
}

STDAPI DllUnregisterServer(void) {
    const std::u16string keyName = classKeyName();
    if (keyName.empty() ||
        RegDeleteKeyW(HKEY_CLASSES_ROOT, (keyName + u"\\InprocServer32").c_str()) !=
            ERROR_SUCCESS ||
        RegDeleteKeyW(HKEY_CLASSES_ROOT, keyName.c_str()) != ERROR_SUCCESS)
        return SELFREG_E_CLASS;
    return S_OK;
}

} // extern "C"
