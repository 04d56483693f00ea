// The library as an in-process server: its class factories and the four exports that the host
// and dorvo2-regsvr call.
#include "Template.h"

#include <dorvo/winreg.h>

#include <QFileInfo>
#include <QList>
#include <QString>
#include <QUrl>

#include <iterator>
#include <new>
#include <utility>

namespace tmpl {

namespace {

// A factory of one class. Factories are static objects of the library: not counted, never
// deleted; LockServer keeps the library loaded.
template <class T> class ClassFactory final : public IClassFactory {
public:
    STDMETHOD(QueryInterface)(REFIID iid, void** out) override {
        if (!out)
            return E_POINTER;
        const bool known = iid == IID_IUnknown || iid == IID_IClassFactory;
        *out = known ? static_cast<IClassFactory*>(this) : nullptr;
        return *out ? S_OK : E_NOINTERFACE;
    }
    STDMETHOD_(ULONG, AddRef)() override { return 2; }
    STDMETHOD_(ULONG, Release)() override { return 1; }
    STDMETHOD(CreateInstance)(IUnknown* outer, REFIID iid, void** out) override {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        T* object = new (std::nothrow) T;
        if (!object)
            return E_OUTOFMEMORY;
        // The new object's own reference goes; the caller keeps the one QueryInterface gave.
        const HRESULT hr = object->QueryInterface(iid, out);
        object->Release();
        return hr;
    }
    STDMETHOD(LockServer)(BOOL lock) override {
        lock ? ++g_locks : --g_locks;
        return S_OK;
    }
};

ClassFactory<TemplateComponent> g_componentFactory;
ClassFactory<TemplatePage> g_pageFactory;

// ---- Registration ----

const QString kName = QStringLiteral("Template");
const QString kIconFile = QStringLiteral("Template.png"); // beside the library
constexpr DWORD kKind = 0x2;                              // an editor component

LPCWSTR wide(const QString& text) {
    return reinterpret_cast<LPCWSTR>(text.utf16());
}

QString braced(REFCLSID clsid) {
    OLECHAR text[39] = {};
    return StringFromGUID2(clsid, text, 39) == 39 ? QString::fromUtf16(text) : QString();
}

QString classKey(REFCLSID clsid) {
    return QStringLiteral("CLSID\\") + braced(clsid);
}

QString catalogueKey() {
    return QStringLiteral("Software\\Quenor\\Dorvo2\\Plugins\\") + braced(CLSID_Template);
}

// The full path of this library, as the host loads it.
QString libraryPath() {
    WCHAR path[4096] = {};
    const DWORD length = DorvoGetModuleFileName(reinterpret_cast<const void*>(&libraryPath), path,
                                                DWORD(std::size(path)));
    return length > 0 && length < std::size(path) ? QString::fromUtf16(path, length) : QString();
}

// Sets text values (an empty name is the key's default value) and numbers on a key, made when
// it is missing.
bool writeKey(HKEY root, const QString& path, const QList<std::pair<QString, QString>>& texts,
              const QList<std::pair<QString, DWORD>>& numbers = {}) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(root, wide(path), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                        nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    bool written = true;
    for (const auto& [name, text] : texts)
        written =
            written && RegSetValueExW(key, name.isEmpty() ? nullptr : wide(name), 0, REG_SZ,
                                      reinterpret_cast<const BYTE*>(text.utf16()),
                                      DWORD((text.size() + 1) * sizeof(WCHAR))) == ERROR_SUCCESS;
    for (const auto& [name, number] : numbers)
        written = written && RegSetValueExW(key, wide(name), 0, REG_DWORD,
                                            reinterpret_cast<const BYTE*>(&number),
                                            sizeof number) == ERROR_SUCCESS;
    RegCloseKey(key);
    return written;
}

// HKEY_CLASSES_ROOT\CLSID\{clsid} with its description, and InprocServer32 with the path.
bool registerClass(REFCLSID clsid, const QString& description, const QString& path) {
    return writeKey(HKEY_CLASSES_ROOT, classKey(clsid), {{QString(), description}}) &&
           writeKey(HKEY_CLASSES_ROOT, classKey(clsid) + QStringLiteral("\\InprocServer32"),
                    {{QString(), path},
                     {QStringLiteral("ThreadingModel"), QStringLiteral("Apartment")}});
}

bool removeClass(REFCLSID clsid) {
    const bool server =
        RegDeleteKeyW(HKEY_CLASSES_ROOT,
                      wide(classKey(clsid) + QStringLiteral("\\InprocServer32"))) == ERROR_SUCCESS;
    return RegDeleteKeyW(HKEY_CLASSES_ROOT, wide(classKey(clsid))) == ERROR_SUCCESS && server;
}

} // namespace

} // namespace tmpl

using namespace tmpl;

extern "C" {

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (clsid == CLSID_Template)
        return g_componentFactory.QueryInterface(iid, out);
    if (clsid == CLSID_TemplatePage)
        return g_pageFactory.QueryInterface(iid, out);
    return CLASS_E_CLASSNOTAVAILABLE;
}

STDAPI DllCanUnloadNow(void) {
    return g_objects == 0 && g_locks <= 0 && !g_madeWidgets ? S_OK : S_FALSE;
}

// The class keys of both classes and the host's catalogue entry of the component: its kind, the
// name the user sees and the file URL of its icon.
STDAPI DllRegisterServer(void) {
    const QString path = libraryPath();
    if (path.isEmpty())
        return SELFREG_E_CLASS;
    const QString icon =
        QUrl::fromLocalFile(QFileInfo(path).absolutePath() + QLatin1Char('/') + kIconFile)
            .toString();
    const bool written =
        registerClass(CLSID_Template, kName, path) &&
        registerClass(CLSID_TemplatePage, kName + QStringLiteral(" Property Page"), path) &&
        writeKey(HKEY_LOCAL_MACHINE, catalogueKey(),
                 {{QStringLiteral("DORVO2_KEY_PLUGIN_NAME"), kName},
                  {QStringLiteral("DORVO2_KEY_ICON_URL"), icon}},
                 {{QStringLiteral("DORVO2_KEY_TYPE"), kKind}});
    return written ? S_OK : SELFREG_E_CLASS;
}

// Removes every key that DllRegisterServer wrote; SELFREG_E_CLASS when one was missing.
STDAPI DllUnregisterServer(void) {
    const bool catalogue = RegDeleteKeyW(HKEY_LOCAL_MACHINE, wide(catalogueKey())) == ERROR_SUCCESS;
    const bool component = removeClass(CLSID_Template);
    const bool page = removeClass(CLSID_TemplatePage);
    return catalogue && component && page ? S_OK : SELFREG_E_CLASS;
}

} // extern "C"
