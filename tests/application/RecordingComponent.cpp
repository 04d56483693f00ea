// The recording test component: an in-process server with a component class and its property
// page class, built against the SDK as a third party builds one. Every call the host makes is
// logged; the answers follow the behaviour that the test set through the class object.
#include "RecordingComponent.h"

#include <dorvo/winreg.h>

#include <QWidget>

#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <new>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

std::mutex g_mutex;
std::vector<std::string> g_log;
RecordingBehaviour g_behaviour;
std::set<const void*> g_components; // the IMPInitialise pointers of live components
std::atomic<long> g_live{0};

void record(const std::string& line) {
    std::lock_guard lock(g_mutex);
    g_log.push_back(line);
}

RecordingBehaviour behaviour() {
    std::lock_guard lock(g_mutex);
    return g_behaviour;
}

std::string iidName(REFIID iid) {
    struct Known {
        const IID* iid;
        const char* name;
    };
    static const Known known[] = {
        {&IID_IUnknown, "IUnknown"},
        {&IID_IMPInitialise, "IMPInitialise"},
        {&IID_ISpecifyPropertyPages, "ISpecifyPropertyPages"},
        {&IID_IMPEventFilter, "IMPEventFilter"},
        {&IID_IMPDeviceSync2, "IMPDeviceSync2"},
        {&IID_IMPDeviceSync, "IMPDeviceSync"},
        {&IID_IPersistStream, "IPersistStream"},
        {&IID_IPersist, "IPersist"},
        {&IID_IPropertyPage, "IPropertyPage"},
        {&IID_IClassFactory, "IClassFactory"},
        {&IID_IRecordingControl, "IRecordingControl"},
    };
    for (const Known& entry : known)
        if (IsEqualIID(iid, *entry.iid))
            return entry.name;
    return "other";
}

LPWSTR taskText(const WCHAR* text) {
    std::u16string copy(text);
    if (copy.empty())
        return nullptr;
    auto* out = static_cast<LPWSTR>(CoTaskMemAlloc((copy.size() + 1) * sizeof(WCHAR)));
    if (out)
        std::copy(copy.c_str(), copy.c_str() + copy.size() + 1, out);
    return out;
}

std::string flag(const void* pointer) {
    return pointer ? "1" : "0";
}

class Component final : public IMPInitialise,
                        public ISpecifyPropertyPages,
                        public IMPEventFilter,
                        public IMPDeviceSync2,
                        public IMPDeviceSync,
                        public IPersistStream {
public:
    Component() : m_behaviour(behaviour()) {
        ++g_live;
        std::lock_guard lock(g_mutex);
        g_components.insert(static_cast<IMPInitialise*>(this));
    }
    ~Component() {
        record("destroyed");
        std::lock_guard lock(g_mutex);
        g_components.erase(static_cast<IMPInitialise*>(this));
        --g_live;
    }

    STDMETHOD(QueryInterface)(REFIID iid, void** out) override {
        record("QueryInterface " + iidName(iid));
        return query(iid, out);
    }

    // The class object's own question is not one the host asks, so it is not recorded.
    HRESULT query(REFIID iid, void** out) {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        const RecordingBehaviour& b = m_behaviour;
        auto optional = [&](bool has, void* pointer) -> HRESULT {
            if (!has)
                return E_NOINTERFACE;
            if (b.nullInterfaces)
                return S_OK;
            *out = pointer;
            return S_OK;
        };
        HRESULT result = E_NOINTERFACE;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IMPInitialise)) {
            *out = static_cast<IMPInitialise*>(this);
            result = S_OK;
        } else if (IsEqualIID(iid, IID_ISpecifyPropertyPages)) {
            result = optional(b.hasPages, static_cast<ISpecifyPropertyPages*>(this));
        } else if (IsEqualIID(iid, IID_IMPEventFilter)) {
            result = optional(b.hasEventFilter, static_cast<IMPEventFilter*>(this));
        } else if (IsEqualIID(iid, IID_IMPDeviceSync2)) {
            result = optional(b.hasSync2, static_cast<IMPDeviceSync2*>(this));
        } else if (IsEqualIID(iid, IID_IMPDeviceSync)) {
            result = optional(b.hasSync1, static_cast<IMPDeviceSync*>(this));
        } else if (IsEqualIID(iid, IID_IPersistStream) || IsEqualIID(iid, IID_IPersist)) {
            result = optional(b.hasPersistence, static_cast<IPersistStream*>(this));
        }
        if (*out)
            AddRef();
        return result;
    }
    STDMETHOD_(ULONG, AddRef)() override { return ++m_refs; }
    STDMETHOD_(ULONG, Release)() override {
        const ULONG refs = --m_refs;
        if (refs == 0)
            delete this;
        return refs;
    }

    // IMPInitialise
    STDMETHOD(MPConnect)
    (IUnknown* host, IMPAsyncOutput* output, DWORD a3, DWORD a4, DWORD* flags) override {
        record("MPConnect host=" + flag(host) + " output=" + flag(output) +
               " a3=" + std::to_string(a3) + " a4=" + std::to_string(a4) +
               " flags=" + (flags ? std::to_string(*flags) : std::string("null")));
        if (!host || !flags)
            return E_POINTER;
        *flags &= MPCONNECT_LIVEINPUT;
        return m_behaviour.connectResult;
    }
    STDMETHOD(MPDisconnect)() override {
        record("MPDisconnect");
        return S_OK;
    }

    // ISpecifyPropertyPages
    STDMETHOD(GetPages)(CAUUID* pages) override {
        record("GetPages");
        if (!pages)
            return E_POINTER;
        pages->cElems = m_behaviour.pageCount;
        pages->pElems = nullptr;
        if (!m_behaviour.nullPageArray && m_behaviour.pageCount > 0 &&
            SUCCEEDED(m_behaviour.getPagesResult)) {
            pages->pElems =
                static_cast<GUID*>(CoTaskMemAlloc(sizeof(GUID) * m_behaviour.pageCount));
            for (ULONG i = 0; pages->pElems && i < m_behaviour.pageCount; ++i)
                pages->pElems[i] = CLSID_RecordingPage;
        }
        return m_behaviour.getPagesResult;
    }

    // IMPEventFilter
    STDMETHOD(FilterEvents)(IMPEventQueue*, const MPFILTERINFO*) override {
        record("FilterEvents");
        return S_OK;
    }
    STDMETHOD(GetFilterInfo)(DWORD*, DWORD*, DWORD*) override { return S_OK; }
    STDMETHOD(FilterSlot5)(DWORD) override { return S_OK; }

    // IMPDeviceSync2 and IMPDeviceSync
    STDMETHOD(Synchronize)
    (DWORD direction, IMPClientProgressHandler* progress, DWORD recallMask) override {
        // Before the record: a test cancels once it sees it.
        m_cancelled = false;
        record("Synchronize direction=" + std::to_string(direction) +
               " mask=" + std::to_string(recallMask));
        for (DWORD step = 1; progress && step <= m_behaviour.progressSteps; ++step)
            progress->ReportProgress(0, step, m_behaviour.progressSteps,
                                     step % 2 ? u"step" : nullptr);
        if (progress && m_behaviour.abortCode != 0)
            progress->AbortProgress(0, m_behaviour.abortCode);
        for (int waited = 0; m_behaviour.waitForCancel && !m_cancelled && waited < 10000;
             waited += 5)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        return m_behaviour.syncResult;
    }
    STDMETHOD(GetStatusText)(HRESULT code, LPWSTR* text) override {
        record("GetStatusText " + std::to_string(code));
        if (!text)
            return E_POINTER;
        const bool hasText = !m_behaviour.nullStatusText && SUCCEEDED(m_behaviour.statusResult);
        *text = hasText ? taskText(u"recorded status") : nullptr;
        return m_behaviour.statusResult;
    }
    STDMETHOD(CancelSynchronize)() override {
        record("CancelSynchronize");
        m_cancelled = true;
        return S_OK;
    }
    STDMETHOD(GetIconURLs)(LPWSTR* disabled, LPWSTR* enabled) override {
        record("GetIconURLs");
        if (!disabled || !enabled)
            return E_POINTER;
        *disabled = nullptr;
        *enabled = nullptr;
        if (FAILED(m_behaviour.iconResult))
            return m_behaviour.iconResult;
        *disabled = taskText(m_behaviour.iconDisabled);
        *enabled = taskText(m_behaviour.iconEnabled);
        return m_behaviour.iconResult;
    }
    STDMETHOD(GetRecallInfo)
    (DWORD* mode, LPWSTR* items, DWORD* group, BOOL* offline, DWORD* defaultMask) override {
        record("GetRecallInfo mode=" + flag(mode) + " items=" + flag(items) + " group=" +
               flag(group) + " offline=" + flag(offline) + " mask=" + flag(defaultMask));
        // The values are written whatever the result, as a careless component would.
        if (mode)
            *mode = m_behaviour.selectionMode;
        if (items)
            *items =
                SUCCEEDED(m_behaviour.recallResult) ? taskText(m_behaviour.recallItems) : nullptr;
        if (group)
            *group = m_behaviour.group;
        if (offline)
            *offline = m_behaviour.offline;
        if (defaultMask)
            *defaultMask = m_behaviour.defaultMask;
        return m_behaviour.recallResult;
    }

    // IPersistStream
    STDMETHOD(GetClassID)(CLSID* id) override {
        if (!id)
            return E_POINTER;
        *id = CLSID_RecordingComponent;
        return m_behaviour.classIdResult;
    }
    STDMETHOD(IsDirty)() override { return m_behaviour.dirty ? S_OK : S_FALSE; }
    STDMETHOD(Load)(IStream* stream) override {
        std::string text;
        char piece[256];
        ULONG got = 0;
        while (stream && SUCCEEDED(stream->Read(piece, sizeof piece, &got)) && got > 0)
            text.append(piece, got);
        record("Load " + text);
        return m_behaviour.loadResult;
    }
    STDMETHOD(Save)(IStream* stream, BOOL clearDirty) override {
        record("Save clearDirty=" + std::to_string(clearDirty));
        const std::string text(m_behaviour.state,
                               strnlen(m_behaviour.state, sizeof m_behaviour.state));
        if (stream && !text.empty())
            stream->Write(text.data(), ULONG(text.size()), nullptr);
        return m_behaviour.saveResult;
    }
    STDMETHOD(GetSizeMax)(ULARGE_INTEGER* size) override {
        if (!size)
            return E_POINTER;
        size->QuadPart = 0;
        return S_OK;
    }

private:
    const RecordingBehaviour m_behaviour;
    std::atomic<ULONG> m_refs{1};
    std::atomic<bool> m_cancelled{false};
};

std::string rectText(const RECT* rect) {
    if (!rect)
        return "null";
    return std::to_string(rect->left) + "," + std::to_string(rect->top) + "," +
           std::to_string(rect->right) + "," + std::to_string(rect->bottom);
}

// The page puts a widget of its own into the window it is activated in.
class Page final : public IPropertyPage {
public:
    Page() : m_behaviour(behaviour()) {
        ++g_live;
        record("Page created");
    }
    ~Page() {
        delete m_widget;
        record("Page destroyed");
        --g_live;
    }

    STDMETHOD(QueryInterface)(REFIID iid, void** out) override {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IPropertyPage))
            return E_NOINTERFACE;
        *out = static_cast<IPropertyPage*>(this);
        AddRef();
        return S_OK;
    }
    STDMETHOD_(ULONG, AddRef)() override { return ++m_refs; }
    STDMETHOD_(ULONG, Release)() override {
        const ULONG refs = --m_refs;
        if (refs == 0)
            delete this;
        return refs;
    }

    STDMETHOD(SetPageSite)(IPropertyPageSite*) override { return S_OK; }
    STDMETHOD(Activate)(HWND parent, LPCRECT rect, BOOL modal) override {
        QWidget* window = QWidget::find(WId(reinterpret_cast<uintptr_t>(parent)));
        record("Page.Activate window=" + std::string(window ? "found" : "missing") +
               " rect=" + rectText(rect) + " modal=" + std::to_string(modal));
        if (FAILED(m_behaviour.activateResult))
            return m_behaviour.activateResult;
        if (!window || !rect)
            return E_INVALIDARG;
        m_widget = new QWidget(window);
        m_widget->setObjectName(QString::fromLatin1(kRecordingPageWidget));
        m_widget->setGeometry(rect->left, rect->top, rect->right - rect->left,
                              rect->bottom - rect->top);
        return S_OK;
    }
    STDMETHOD(Deactivate)() override {
        record("Page.Deactivate");
        delete m_widget;
        m_widget = nullptr;
        return S_OK;
    }
    STDMETHOD(GetPageInfo)(PROPPAGEINFO* info) override {
        record("Page.GetPageInfo");
        if (!info)
            return E_POINTER;
        info->pszTitle = taskText(u"Recording");
        info->size = m_behaviour.pageSize;
        info->pszDocString = nullptr;
        info->pszHelpFile = taskText(u"help.txt");
        info->dwHelpContext = 0;
        if (FAILED(m_behaviour.pageInfoResult)) {
            CoTaskMemFree(info->pszTitle);
            CoTaskMemFree(info->pszHelpFile);
            info->pszTitle = info->pszHelpFile = nullptr;
        }
        return m_behaviour.pageInfoResult;
    }
    STDMETHOD(SetObjects)(ULONG count, IUnknown** objects) override {
        std::string which;
        if (count == 1 && objects) {
            std::lock_guard lock(g_mutex);
            which = g_components.count(objects[0]) ? " component" : " unknown";
        }
        record("Page.SetObjects " + std::to_string(count) + which);
        return S_OK;
    }
    STDMETHOD(Show)(UINT show) override {
        record("Page.Show " + std::to_string(show));
        if (m_widget)
            m_widget->setVisible(show != 0);
        return S_OK;
    }
    STDMETHOD(Move)(LPCRECT rect) override {
        record("Page.Move " + rectText(rect));
        if (m_widget && rect)
            m_widget->setGeometry(rect->left, rect->top, rect->right - rect->left,
                                  rect->bottom - rect->top);
        return S_OK;
    }
    STDMETHOD(IsPageDirty)() override { return S_FALSE; }
    STDMETHOD(Apply)() override { return S_OK; }
    STDMETHOD(Help)(LPCOLESTR) override { return E_NOTIMPL; }
    STDMETHOD(TranslateAccelerator)(MSG*) override { return S_FALSE; }

private:
    const RecordingBehaviour m_behaviour;
    std::atomic<ULONG> m_refs{1};
    QWidget* m_widget = nullptr;
};

// One class object for both classes; it also hands out the control.
class Factory final : public IClassFactory, public IRecordingControl {
public:
    explicit Factory(bool pages) : m_pages(pages) {}

    STDMETHOD(QueryInterface)(REFIID iid, void** out) override {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory))
            *out = static_cast<IClassFactory*>(this);
        else if (IsEqualIID(iid, IID_IRecordingControl))
            *out = static_cast<IRecordingControl*>(this);
        else
            return E_NOINTERFACE;
        return S_OK;
    }
    // Static objects: not counted.
    STDMETHOD_(ULONG, AddRef)() override { return 2; }
    STDMETHOD_(ULONG, Release)() override { return 1; }

    STDMETHOD(CreateInstance)(IUnknown* outer, REFIID iid, void** out) override {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        if (m_pages) {
            auto* page = new (std::nothrow) Page;
            if (!page)
                return E_OUTOFMEMORY;
            const HRESULT result = page->QueryInterface(iid, out);
            page->Release();
            return result;
        }
        record("CreateInstance " + iidName(iid));
        auto* component = new (std::nothrow) Component;
        if (!component)
            return E_OUTOFMEMORY;
        const HRESULT result = component->query(iid, out);
        component->Release();
        return result;
    }
    STDMETHOD(LockServer)(BOOL) override { return S_OK; }

    STDMETHOD(SetBehaviour)(const RecordingBehaviour* next) override {
        if (!next)
            return E_POINTER;
        std::lock_guard lock(g_mutex);
        g_behaviour = *next;
        return S_OK;
    }
    STDMETHOD(TakeLog)(LPWSTR* log) override {
        if (!log)
            return E_POINTER;
        std::u16string text;
        {
            std::lock_guard lock(g_mutex);
            for (const std::string& line : g_log) {
                text.append(line.begin(), line.end());
                text.push_back(u'\n');
            }
            g_log.clear();
        }
        *log = static_cast<LPWSTR>(CoTaskMemAlloc((text.size() + 1) * sizeof(WCHAR)));
        if (!*log)
            return E_OUTOFMEMORY;
        std::copy(text.c_str(), text.c_str() + text.size() + 1, *log);
        return S_OK;
    }
    STDMETHOD_(LONG, LiveObjects)() override { return LONG(g_live.load()); }

private:
    const bool m_pages;
};

Factory g_componentFactory(false);
Factory g_pageFactory(true);
const int g_moduleAnchor = 0;

std::u16string classKey(REFCLSID clsid) {
    LPOLESTR text = nullptr;
    if (FAILED(StringFromCLSID(clsid, &text)))
        return {};
    std::u16string name(text);
    CoTaskMemFree(text);
    return name;
}

bool setText(HKEY key, const char16_t* name, const std::u16string& text) {
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          DWORD((text.size() + 1) * sizeof(WCHAR))) == ERROR_SUCCESS;
}

HKEY createKey(HKEY root, const std::u16string& path) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                        nullptr, &key, nullptr) != ERROR_SUCCESS)
        return nullptr;
    return key;
}

bool registerClass(REFCLSID clsid, const std::u16string& description, const WCHAR* path) {
    const std::u16string name = u"CLSID\\" + classKey(clsid);
    HKEY key = createKey(HKEY_CLASSES_ROOT, name);
    bool ok = key && setText(key, nullptr, description);
    if (key)
        RegCloseKey(key);
    key = createKey(HKEY_CLASSES_ROOT, name + u"\\InprocServer32");
    ok = ok && key && setText(key, nullptr, path) && setText(key, u"ThreadingModel", u"Apartment");
    if (key)
        RegCloseKey(key);
    return ok;
}

const char16_t kPluginsKey[] = u"Software\\Quenor\\Dorvo2\\Plugins\\";

} // namespace

extern "C" {

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (IsEqualCLSID(clsid, CLSID_RecordingComponent))
        return g_componentFactory.QueryInterface(iid, out);
    if (IsEqualCLSID(clsid, CLSID_RecordingPage))
        return g_pageFactory.QueryInterface(iid, out);
    return CLASS_E_CLASSNOTAVAILABLE;
}

STDAPI DllCanUnloadNow(void) {
    return g_live == 0 ? S_OK : S_FALSE;
}

STDAPI DllRegisterServer(void) {
    WCHAR path[1024];
    if (DorvoGetModuleFileName(&g_moduleAnchor, path, 1024) == 0)
        return SELFREG_E_CLASS;
    if (!registerClass(CLSID_RecordingComponent, kRecordingDescription, path) ||
        !registerClass(CLSID_RecordingPage, u"Recording test page", path))
        return SELFREG_E_CLASS;
    HKEY plugin = createKey(HKEY_LOCAL_MACHINE, kPluginsKey + classKey(CLSID_RecordingComponent));
    if (!plugin)
        return SELFREG_E_CLASS;
    const DWORD kind = 2;
    const bool ok =
        RegSetValueExW(plugin, u"DORVO2_KEY_TYPE", 0, REG_DWORD,
                       reinterpret_cast<const BYTE*>(&kind), sizeof kind) == ERROR_SUCCESS &&
        setText(plugin, u"DORVO2_KEY_PLUGIN_NAME", kRecordingComponentName);
    RegCloseKey(plugin);
    return ok ? S_OK : SELFREG_E_CLASS;
}

STDAPI DllUnregisterServer(void) {
    for (REFCLSID clsid : {CLSID_RecordingComponent, CLSID_RecordingPage}) {
        const std::u16string name = u"CLSID\\" + classKey(clsid);
        RegDeleteKeyW(HKEY_CLASSES_ROOT, (name + u"\\InprocServer32").c_str());
        RegDeleteKeyW(HKEY_CLASSES_ROOT, name.c_str());
    }
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, (kPluginsKey + classKey(CLSID_RecordingComponent)).c_str());
    return S_OK;
}

} // extern "C"
