#include "InprocServerRegistration.h"

#include <dorvo/winreg.h>

#include <QtGlobal>

#include <vector>

namespace {

class OpenKey {
public:
    explicit OpenKey(HKEY key) : m_key(key) {}
    OpenKey(const OpenKey&) = delete;
    OpenKey& operator=(const OpenKey&) = delete;
    ~OpenKey() { RegCloseKey(m_key); }
    HKEY get() const { return m_key; }

private:
    HKEY m_key;
};

// The value's text up to its first zero; REG_SZ data need not carry its terminator.
QString textOfValue(const std::vector<BYTE>& data, DWORD bytes) {
    const auto* chars = reinterpret_cast<const char16_t*>(data.data());
    qsizetype length = 0;
    while (length < qsizetype(bytes / sizeof(WCHAR)) && chars[length] != 0)
        ++length;
    return QString::fromUtf16(chars, length);
}

// Reads the key's default value as text, growing the buffer while the value grows under us.
LONG readDefaultText(HKEY key, DWORD* type, QString* text) {
    DWORD bytes = 0;
    LONG error = RegQueryValueExW(key, nullptr, nullptr, type, nullptr, &bytes);
    for (int attempt = 0; attempt < 4 && error == ERROR_SUCCESS; ++attempt) {
        std::vector<BYTE> data(bytes + sizeof(WCHAR));
        DWORD got = bytes;
        error = RegQueryValueExW(key, nullptr, nullptr, type, data.data(), &got);
        if (error == ERROR_MORE_DATA) {
            bytes = got;
            error = ERROR_SUCCESS;
            continue;
        }
        if (error == ERROR_SUCCESS)
            *text = textOfValue(data, got);
        return error;
    }
    return error == ERROR_SUCCESS ? ERROR_MORE_DATA : error;
}

} // namespace

QString guidText(REFGUID guid) {
    OLECHAR text[39];
    StringFromGUID2(guid, text, 39);
    return QString::fromUtf16(text);
}

HRESULT lookUpInprocServer(REFCLSID clsid, QString* path) {
    const QString keyName = QStringLiteral("CLSID\\%1\\InprocServer32").arg(guidText(clsid));
    HKEY key = nullptr;
    const LONG openError = RegOpenKeyExW(
        HKEY_CLASSES_ROOT, reinterpret_cast<LPCWSTR>(keyName.utf16()), 0, KEY_QUERY_VALUE, &key);
    if (openError == ERROR_FILE_NOT_FOUND) {
        qWarning("Class %s is not registered: HKEY_CLASSES_ROOT\\%s does not exist",
                 qUtf8Printable(guidText(clsid)), qUtf8Printable(keyName));
        return REGDB_E_CLASSNOTREG;
    }
    if (openError != ERROR_SUCCESS) {
        qWarning("Cannot open HKEY_CLASSES_ROOT\\%s: error %d", qUtf8Printable(keyName),
                 int(openError));
        return REGDB_E_READREGDB;
    }
    OpenKey open(key);
    DWORD type = REG_NONE;
    const LONG readError = readDefaultText(open.get(), &type, path);
    if (readError == ERROR_FILE_NOT_FOUND) {
        qWarning("Class %s is not registered: HKEY_CLASSES_ROOT\\%s names no library",
                 qUtf8Printable(guidText(clsid)), qUtf8Printable(keyName));
        return REGDB_E_CLASSNOTREG;
    }
    if (readError != ERROR_SUCCESS || type != REG_SZ) {
        qWarning("Cannot read the library path of HKEY_CLASSES_ROOT\\%s (error %d, type %u)",
                 qUtf8Printable(keyName), int(readError), unsigned(type));
        return REGDB_E_READREGDB;
    }
    return S_OK;
}
