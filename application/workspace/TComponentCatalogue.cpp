#include "TComponentCatalogue.h"

#include <dorvo/objbase.h>
#include <dorvo/winreg.h>

#include <vector>

namespace {

constexpr DWORD kSubkeyNameCharacters = 1024;

LPCWSTR wide(const QString& text) {
    return reinterpret_cast<LPCWSTR>(text.utf16());
}

// Closes the key when it goes out of scope.
class OpenKey {
public:
    OpenKey(HKEY parent, const QString& path, REGSAM access) {
        if (RegOpenKeyExW(parent, wide(path), 0, access, &m_key) != ERROR_SUCCESS)
            m_key = nullptr;
    }
    ~OpenKey() {
        if (m_key)
            RegCloseKey(m_key);
    }
    OpenKey(const OpenKey&) = delete;
    OpenKey& operator=(const OpenKey&) = delete;

    explicit operator bool() const { return m_key != nullptr; }
    HKEY handle() const { return m_key; }

private:
    HKEY m_key = nullptr;
};

// A text value of any length; the target is left as it was when the value is missing or is
// not text. Two extra zero bytes end a value that was stored without its terminator.
bool readText(HKEY key, const QString& valueName, QString& target) {
    LPCWSTR name = valueName.isEmpty() ? nullptr : wide(valueName);
    DWORD type = REG_NONE;
    DWORD bytes = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS ||
        type != REG_SZ)
        return false;
    std::vector<WCHAR> buffer(bytes / sizeof(WCHAR) + 2, 0);
    DWORD size = bytes;
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()),
                         &size) != ERROR_SUCCESS ||
        type != REG_SZ)
        return false;
    target = QString::fromUtf16(buffer.data());
    return true;
}

bool readNumber(HKEY key, const QString& valueName, DWORD& target) {
    DWORD type = REG_NONE;
    DWORD value = 0;
    DWORD bytes = sizeof value;
    if (RegQueryValueExW(key, wide(valueName), nullptr, &type, reinterpret_cast<BYTE*>(&value),
                         &bytes) != ERROR_SUCCESS ||
        type != REG_DWORD || bytes != sizeof value)
        return false;
    target = value;
    return true;
}

} // namespace

const QString TComponentCatalogue::kPluginsKey =
    QStringLiteral("Software\\Quenor\\Dorvo2\\Plugins");

const QList<TCatalogueEntry>* TComponentCatalogue::entries() {
    if (!m_read) {
        m_entries = readCatalogue();
        m_read = true;
    }
    return m_entries.get();
}

void TComponentCatalogue::forget() {
    m_entries.reset();
    m_read = false;
}

const TCatalogueEntry* TComponentCatalogue::find(const CLSID& classId) {
    const QList<TCatalogueEntry>* all = entries();
    if (!all)
        return nullptr;
    for (const TCatalogueEntry& entry : *all)
        if (IsEqualGUID(entry.classId, classId))
            return &entry;
    return nullptr;
}

std::unique_ptr<QList<TCatalogueEntry>> TComponentCatalogue::readCatalogue() {
    OpenKey plugins(HKEY_LOCAL_MACHINE, kPluginsKey, KEY_ENUMERATE_SUB_KEYS);
    if (!plugins)
        return nullptr;
    std::unique_ptr<QList<TCatalogueEntry>> catalogue;
    WCHAR name[kSubkeyNameCharacters];
    for (DWORD index = 0;; ++index) {
        DWORD length = kSubkeyNameCharacters;
        const LONG error = RegEnumKeyExW(plugins.handle(), index, name, &length, nullptr, nullptr,
                                         nullptr, nullptr);
        // A name too long for the buffer cannot be a class identifier; any other failure
        // would repeat at every index.
        if (error == ERROR_MORE_DATA)
            continue;
        if (error != ERROR_SUCCESS)
            break;
        const std::optional<TCatalogueEntry> entry =
            readEntry(QString::fromUtf16(name, length), kPluginsKey);
        if (!entry || !(entry->kind & kEditorKinds))
            continue;
        if (!catalogue)
            catalogue = std::make_unique<QList<TCatalogueEntry>>();
        catalogue->append(*entry);
    }
    return catalogue;
}

std::optional<TCatalogueEntry> TComponentCatalogue::readEntry(const QString& subkeyName,
                                                              const QString& pluginsKeyPath) {
    QString description;
    {
        OpenKey classKey(HKEY_CLASSES_ROOT, QStringLiteral("CLSID\\") + subkeyName,
                         KEY_QUERY_VALUE);
        if (!classKey || !readText(classKey.handle(), QString(), description))
            return std::nullopt;
    }
    TCatalogueEntry entry;
    if (FAILED(CLSIDFromString(wide(subkeyName), &entry.classId)))
        return std::nullopt;
    OpenKey plugin(HKEY_LOCAL_MACHINE, pluginsKeyPath + QLatin1Char('\\') + subkeyName,
                   KEY_QUERY_VALUE);
    if (!plugin)
        return entry;
    readNumber(plugin.handle(), QStringLiteral("DORVO2_KEY_TYPE"), entry.kind);
    if (!readText(plugin.handle(), QStringLiteral("DORVO2_KEY_PLUGIN_NAME"), entry.name))
        entry.name = description;
    readText(plugin.handle(), QStringLiteral("DORVO2_KEY_ICON_URL"), entry.iconUrl);
    return entry;
}
