#include "ServerRegistration.h"

#include "WideText.h"

#include <dorvo/winreg.h>

#include <QFileInfo>
#include <QUrl>

namespace examples {

namespace {

const QString kPluginsKey = QStringLiteral("Software\\Quenor\\Dorvo2\\Plugins\\");
constexpr DWORD kPathCharacters = 4096;

QString classKey(REFCLSID clsid) {
    return QStringLiteral("CLSID\\") + guidText(clsid);
}

QString libraryPath(const void* addressInLibrary) {
    WCHAR path[kPathCharacters] = {};
    const DWORD length = DorvoGetModuleFileName(addressInLibrary, path, kPathCharacters);
    if (length == 0 || length >= kPathCharacters)
        return QString();
    return QString::fromUtf16(path, length);
}

// Owns an open key.
class Key {
public:
    Key(HKEY root, const QString& path) {
        if (RegCreateKeyExW(root, wide(path), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                            nullptr, &m_key, nullptr) != ERROR_SUCCESS)
            m_key = nullptr;
    }
    ~Key() {
        if (m_key)
            RegCloseKey(m_key);
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;

    bool isOpen() const { return m_key != nullptr; }
    bool setText(const QString& name, const QString& text) {
        const auto bytes = DWORD((text.size() + 1) * sizeof(WCHAR));
        return m_key &&
               RegSetValueExW(m_key, name.isEmpty() ? nullptr : wide(name), 0, REG_SZ,
                              reinterpret_cast<const BYTE*>(text.utf16()), bytes) == ERROR_SUCCESS;
    }
    bool setNumber(const QString& name, DWORD number) {
        return m_key && RegSetValueExW(m_key, wide(name), 0, REG_DWORD,
                                       reinterpret_cast<const BYTE*>(&number),
                                       sizeof number) == ERROR_SUCCESS;
    }

private:
    HKEY m_key = nullptr;
};

bool registerClass(const ServerClass& serverClass, const QString& path) {
    const QString key = classKey(*serverClass.clsid);
    Key classKeyOpen(HKEY_CLASSES_ROOT, key);
    Key server(HKEY_CLASSES_ROOT, key + QStringLiteral("\\InprocServer32"));
    return classKeyOpen.setText(QString(), serverClass.description) &&
           server.setText(QString(), path) &&
           server.setText(QStringLiteral("ThreadingModel"), QStringLiteral("Apartment"));
}

bool registerCatalogueEntry(const CatalogueEntry& entry, const void* addressInLibrary) {
    Key key(HKEY_LOCAL_MACHINE, kPluginsKey + guidText(*entry.clsid));
    return key.setNumber(QStringLiteral("DORVO2_KEY_TYPE"), entry.kind) &&
           key.setText(QStringLiteral("DORVO2_KEY_PLUGIN_NAME"), entry.pluginName) &&
           key.setText(QStringLiteral("DORVO2_KEY_ICON_URL"),
                       fileUrlBesideLibrary(addressInLibrary, entry.iconFileName));
}

// Deletes the key and everything below it.
LONG deleteTree(HKEY root, const QString& path) {
    HKEY key = nullptr;
    LONG error = RegOpenKeyExW(root, wide(path), 0, KEY_ALL_ACCESS, &key);
    if (error != ERROR_SUCCESS)
        return error;
    for (;;) {
        WCHAR child[256] = {};
        DWORD length = 256;
        error = RegEnumKeyExW(key, 0, child, &length, nullptr, nullptr, nullptr, nullptr);
        if (error != ERROR_SUCCESS)
            break;
        error = deleteTree(root, path + QLatin1Char('\\') + QString::fromUtf16(child, length));
        if (error != ERROR_SUCCESS)
            break;
    }
    RegCloseKey(key);
    if (error != ERROR_NO_MORE_ITEMS)
        return error;
    return RegDeleteKeyW(root, wide(path));
}

} // namespace

HRESULT registerServer(const ServerDescription& server) {
    const QString path = libraryPath(server.addressInLibrary);
    if (path.isEmpty())
        return SELFREG_E_CLASS;
    for (const ServerClass& serverClass : server.classes) {
        if (!registerClass(serverClass, path))
            return SELFREG_E_CLASS;
    }
    return registerCatalogueEntry(server.catalogue, server.addressInLibrary) ? S_OK
                                                                             : SELFREG_E_CLASS;
}

HRESULT unregisterServer(const ServerDescription& server) {
    bool complete = deleteTree(HKEY_LOCAL_MACHINE,
                               kPluginsKey + guidText(*server.catalogue.clsid)) == ERROR_SUCCESS;
    for (const ServerClass& serverClass : server.classes)
        complete = deleteTree(HKEY_CLASSES_ROOT, classKey(*serverClass.clsid)) == ERROR_SUCCESS &&
                   complete;
    return complete ? S_OK : SELFREG_E_CLASS;
}

QString libraryDirectory(const void* addressInLibrary) {
    const QString path = libraryPath(addressInLibrary);
    return path.isEmpty() ? QString() : QFileInfo(path).absolutePath();
}

QString fileUrlBesideLibrary(const void* addressInLibrary, const QString& fileName) {
    const QString directory = libraryDirectory(addressInLibrary);
    if (directory.isEmpty())
        return QString();
    return QUrl::fromLocalFile(directory + QLatin1Char('/') + fileName).toString();
}

} // namespace examples
