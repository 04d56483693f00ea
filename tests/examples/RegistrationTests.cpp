// The examples install themselves like any third party's components: dorvo2-regsvr writes their
// class keys and catalogue entries, and removes exactly those; their libraries can be unloaded
// while nothing of them lives, and stay once they made widgets.
#include "DemoSynthIds.h"
#include "ExampleTestSupport.h"
#include "MidiMonitorIds.h"
#include "SysExLibrarianIds.h"

#include <dorvo/winreg.h>

#include <QFileInfo>
#include <QUrl>

#include <dlfcn.h>

using namespace exampletest;

namespace {

const QString kPlugins = QStringLiteral("Software\\Quenor\\Dorvo2\\Plugins");

QString braced(REFCLSID clsid) {
    OLECHAR text[39] = {};
    StringFromGUID2(clsid, text, 39);
    return QString::fromUtf16(text);
}

LPCWSTR wide(const QString& text) {
    return reinterpret_cast<LPCWSTR>(text.utf16());
}

bool keyExists(HKEY root, const QString& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, wide(path), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

QStringList subkeys(HKEY root, const QString& path) {
    QStringList names;
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, wide(path), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return names;
    for (DWORD index = 0;; ++index) {
        WCHAR name[256] = {};
        DWORD length = 256;
        if (RegEnumKeyExW(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        names << QString::fromUtf16(name, length);
    }
    RegCloseKey(key);
    return names;
}

// The value's type and its text (REG_SZ) or number (REG_DWORD, as decimal text).
std::pair<DWORD, QString> value(HKEY root, const QString& path, const QString& name) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, wide(path), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return {REG_NONE, QStringLiteral("<no key>")};
    BYTE data[2048] = {};
    DWORD size = sizeof data - 2;
    DWORD type = REG_NONE;
    const LONG error =
        RegQueryValueExW(key, name.isEmpty() ? nullptr : wide(name), nullptr, &type, data, &size);
    RegCloseKey(key);
    if (error != ERROR_SUCCESS)
        return {REG_NONE, QStringLiteral("<no value>")};
    if (type == REG_DWORD && size == 4)
        return {type, QString::number(*reinterpret_cast<DWORD*>(data))};
    return {type, QString::fromUtf16(reinterpret_cast<const char16_t*>(data))};
}

struct Example {
    const char* library;
    const CLSID* component;
    const CLSID* page;
    DWORD kind;
    QString name;
    QString description;
    QString pageDescription;
    QString icon;
};

const Example kExamples[] = {
    {DEMOSYNTH_LIBRARY, &CLSID_DemoSynth, &CLSID_DemoSynthPage, 0x12, QStringLiteral("Demo Synth"),
     QStringLiteral("Demo Synth Editor"), QStringLiteral("Demo Synth Property Page"),
     QStringLiteral("DemoSynth.png")},
    {MIDIMONITOR_LIBRARY, &CLSID_MidiMonitor, &CLSID_MidiMonitorPage, 0x2,
     QStringLiteral("MIDI Monitor"), QStringLiteral("MIDI Monitor"),
     QStringLiteral("MIDI Monitor Property Page"), QStringLiteral("MidiMonitor.png")},
    {SYSEXLIBRARIAN_LIBRARY, &CLSID_SysExLibrarian, &CLSID_SysExLibrarianPage, 0x2,
     QStringLiteral("SysEx Librarian"), QStringLiteral("SysEx Librarian"),
     QStringLiteral("SysEx Librarian Property Page"), QStringLiteral("SysExLibrarian.png")},
};

void expectClassKey(REFCLSID clsid, const QString& description, const QString& library) {
    const QString key = QStringLiteral("CLSID\\") + braced(clsid);
    EXPECT_EQ(value(HKEY_CLASSES_ROOT, key, {}), std::make_pair(DWORD(REG_SZ), description));
    const QString server = key + QStringLiteral("\\InprocServer32");
    EXPECT_EQ(value(HKEY_CLASSES_ROOT, server, {}),
              std::make_pair(DWORD(REG_SZ), QFileInfo(library).canonicalFilePath()));
    EXPECT_EQ(value(HKEY_CLASSES_ROOT, server, QStringLiteral("ThreadingModel")),
              std::make_pair(DWORD(REG_SZ), QStringLiteral("Apartment")));
    EXPECT_EQ(subkeys(HKEY_CLASSES_ROOT, key), QStringList{QStringLiteral("InprocServer32")});
}

TEST(ExampleRegistration, WritesTheClassKeysAndExactlyTheCatalogueEntries) {
    registerExamples();
    QStringList expectedEntries;
    for (const Example& example : kExamples) {
        const QString library = QString::fromLocal8Bit(example.library);
        expectClassKey(*example.component, example.description, library);
        expectClassKey(*example.page, example.pageDescription, library);

        const QString entry = kPlugins + QLatin1Char('\\') + braced(*example.component);
        expectedEntries << braced(*example.component);
        EXPECT_EQ(value(HKEY_LOCAL_MACHINE, entry, QStringLiteral("DORVO2_KEY_TYPE")),
                  std::make_pair(DWORD(REG_DWORD), QString::number(example.kind)));
        EXPECT_EQ(value(HKEY_LOCAL_MACHINE, entry, QStringLiteral("DORVO2_KEY_PLUGIN_NAME")),
                  std::make_pair(DWORD(REG_SZ), example.name));
        const auto icon = value(HKEY_LOCAL_MACHINE, entry, QStringLiteral("DORVO2_KEY_ICON_URL"));
        EXPECT_EQ(icon.first, DWORD(REG_SZ));
        const QUrl url(icon.second);
        EXPECT_EQ(url.scheme(), QStringLiteral("file"));
        EXPECT_EQ(QFileInfo(url.toLocalFile()).canonicalFilePath(),
                  QFileInfo(QFileInfo(library).absolutePath() + QLatin1Char('/') + example.icon)
                      .canonicalFilePath());
        EXPECT_TRUE(QFileInfo::exists(url.toLocalFile())) << "installed beside the library";
        EXPECT_TRUE(subkeys(HKEY_LOCAL_MACHINE, entry).isEmpty());
        EXPECT_FALSE(
            keyExists(HKEY_LOCAL_MACHINE, kPlugins + QLatin1Char('\\') + braced(*example.page)))
            << "a page is no component of its own";
    }
    QStringList entries = subkeys(HKEY_LOCAL_MACHINE, kPlugins);
    entries.sort(Qt::CaseInsensitive);
    expectedEntries.sort(Qt::CaseInsensitive);
    EXPECT_EQ(entries, expectedEntries);

    // Registering again changes nothing.
    ASSERT_EQ(runRegsvr({QString::fromLocal8Bit(DEMOSYNTH_LIBRARY)}).exitCode, 0);
    EXPECT_EQ(subkeys(HKEY_LOCAL_MACHINE, kPlugins).size(), 3);
}

TEST(ExampleRegistration, UnregisteringRemovesEveryKeyOfTheLibraryAndNothingElse) {
    registerExamples();
    const Example& monitor = kExamples[1];
    const QString library = QString::fromLocal8Bit(monitor.library);
    const ProgramResult removed = runRegsvr({QStringLiteral("-u"), library});
    ASSERT_EQ(removed.exitCode, 0) << removed.output.toStdString();
    EXPECT_FALSE(
        keyExists(HKEY_CLASSES_ROOT, QStringLiteral("CLSID\\") + braced(*monitor.component)));
    EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, QStringLiteral("CLSID\\") + braced(*monitor.page)));
    EXPECT_FALSE(
        keyExists(HKEY_LOCAL_MACHINE, kPlugins + QLatin1Char('\\') + braced(*monitor.component)));
    EXPECT_EQ(subkeys(HKEY_LOCAL_MACHINE, kPlugins).size(), 2) << "the others stay";
    EXPECT_TRUE(keyExists(HKEY_CLASSES_ROOT, QStringLiteral("CLSID\\") + braced(CLSID_DemoSynth)));

    // Nothing left to remove: said so.
    const ProgramResult again = runRegsvr({QStringLiteral("-u"), library});
    EXPECT_NE(again.exitCode, 0);
    EXPECT_TRUE(again.output.contains(QStringLiteral("0x80040201"))) << again.output.toStdString();

    ASSERT_EQ(runRegsvr({library}).exitCode, 0);
    EXPECT_EQ(subkeys(HKEY_LOCAL_MACHINE, kPlugins).size(), 3);
}

// DllCanUnloadNow of the library, once the component object model has loaded it.
HRESULT canUnloadNow(const char* library) {
    void* handle = dlopen(library, RTLD_NOW | RTLD_NOLOAD);
    if (!handle)
        return E_UNEXPECTED;
    auto function = reinterpret_cast<LPFNCANUNLOADNOW>(dlsym(handle, "DllCanUnloadNow"));
    const HRESULT hr = function ? function() : E_UNEXPECTED;
    dlclose(handle);
    return hr;
}

bool isLoaded(const char* library) {
    void* handle = dlopen(library, RTLD_NOW | RTLD_NOLOAD);
    if (handle)
        dlclose(handle);
    return handle != nullptr;
}

TEST(ExampleRegistration, LibraryUnloadsWhileNothingOfItLivesAndStaysOnceItMadeWidgets) {
    registerExamples();
    const char* library = MIDIMONITOR_LIBRARY;
    IUnknown* component = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_MidiMonitor, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                               reinterpret_cast<void**>(&component)),
              S_OK);
    EXPECT_EQ(canUnloadNow(library), S_FALSE);
    component->Release();
    EXPECT_EQ(canUnloadNow(library), S_OK);

    IClassFactory* factory = nullptr;
    ASSERT_EQ(CoGetClassObject(CLSID_MidiMonitor, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                               reinterpret_cast<void**>(&factory)),
              S_OK);
    EXPECT_EQ(
        factory->CreateInstance(component, IID_IUnknown, reinterpret_cast<void**>(&component)),
        CLASS_E_NOAGGREGATION);
    factory->LockServer(TRUE);
    EXPECT_EQ(canUnloadNow(library), S_FALSE);
    factory->LockServer(FALSE);
    factory->Release();
    EXPECT_EQ(canUnloadNow(library), S_OK);
    CoFreeUnusedLibrariesEx(0, 0);
    EXPECT_FALSE(isLoaded(library));

    // Loaded again on demand; a page with its widget pins the library.
    ClientIUnknown* host = new ClientIUnknown;
    {
        TestWorkspace workspace;
        host->setWorkspaceWindow(&workspace);
        HostedComponent hosted(host, &workspace, CLSID_MidiMonitor, QStringLiteral("Monitor"));
        EXPECT_TRUE(isLoaded(library));
        hosted.showPage();
        host->setWorkspaceWindow(nullptr);
    }
    host->Release();
    EXPECT_EQ(canUnloadNow(library), S_FALSE);
    CoFreeUnusedLibrariesEx(0, 0);
    EXPECT_TRUE(isLoaded(library));
}

} // namespace
