#include "TServerRegistration.h"

#include <QString>

namespace {

// The registry's limit for one key name, with its terminating zero.
constexpr DWORD kKeyNameLength = 256;
// The module path buffer: the platform's path limit.
constexpr DWORD kPathLength = 260;
// Besides "no more items", the registry may answer this while a tree is being deleted.
constexpr LONG kKeyDeleted = 1010;

// "CLSID\{...}" for the class; empty when the identifier cannot be converted.
QString classKeyPath(const CLSID& classId) {
    LPOLESTR text = nullptr;
    if (FAILED(StringFromCLSID(classId, &text)) || !text)
        return QString();
    const QString path = QStringLiteral("CLSID\\") + QString::fromUtf16(text);
    CoTaskMemFree(text);
    return path;
}

LPCWSTR wide(const QString& text) {
    return reinterpret_cast<LPCWSTR>(text.utf16());
}

LONG setText(HKEY key, LPCWSTR name, LPCWSTR text) {
    DWORD characters = 0;
    while (text[characters])
        ++characters;
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                          (characters + 1) * sizeof(WCHAR));
}

bool createKey(const QString& path, HKEY& key) {
    DWORD disposition = 0;
    return RegCreateKeyExW(HKEY_CLASSES_ROOT, wide(path), 0, nullptr, REG_OPTION_NON_VOLATILE,
                           KEY_ALL_ACCESS, nullptr, &key, &disposition) == ERROR_SUCCESS;
}

} // namespace

HRESULT TServerRegistration::registerClass(const CLSID& classId, LPCWSTR description,
                                           LPCWSTR threadingModel, const void* addressInLibrary) {
    const QString classPath = classKeyPath(classId);
    HKEY key = nullptr;
    if (classPath.isEmpty() || !createKey(classPath, key))
        return E_FAIL;
    setText(key, nullptr, description);
    RegCloseKey(key);

    WCHAR module[kPathLength] = {};
    DorvoGetModuleFileName(addressInLibrary, module, kPathLength);
    if (!createKey(classPath + QStringLiteral("\\InprocServer32"), key))
        return E_FAIL;
    setText(key, nullptr, module);
    setText(key, u"ThreadingModel", threadingModel);
    RegCloseKey(key);
    return S_OK;
}

HRESULT TServerRegistration::registerServer(const CLSID& componentClass, const CLSID& pageClass,
                                            const void* addressInLibrary) {
    if (registerClass(componentClass, u"Dorvo", u"Both", addressInLibrary) != S_OK ||
        registerClass(pageClass, u"Property Page for Dorvo2", u"Apartment", addressInLibrary) !=
            S_OK)
        return SELFREG_E_CLASS;
    return S_OK;
}

HRESULT TServerRegistration::unregisterServer(const CLSID& componentClass, const CLSID& pageClass) {
    for (const CLSID* classId : {&componentClass, &pageClass}) {
        const QString path = classKeyPath(*classId);
        if (path.isEmpty() || deleteKeyTree(HKEY_CLASSES_ROOT, wide(path)) != ERROR_SUCCESS)
            return SELFREG_E_CLASS;
    }
    return S_OK;
}

LONG TServerRegistration::deleteKeyTree(HKEY parent, LPCWSTR subkey) {
    HKEY key = nullptr;
    LONG result = RegOpenKeyExW(parent, subkey, 0, KEY_ALL_ACCESS, &key);
    if (result != ERROR_SUCCESS)
        return result;
    // Always the first child: each deletion moves the next one to index 0.
    for (;;) {
        WCHAR child[kKeyNameLength] = {};
        DWORD length = kKeyNameLength;
        result = RegEnumKeyExW(key, 0, child, &length, nullptr, nullptr, nullptr, nullptr);
        if (result != ERROR_SUCCESS)
            break;
        result = deleteKeyTree(key, child);
        if (result != ERROR_SUCCESS)
            break;
    }
    if (result != ERROR_NO_MORE_ITEMS && result != kKeyDeleted) {
        RegCloseKey(key);
        return result;
    }
    result = RegDeleteKeyW(parent, subkey);
    RegCloseKey(key);
    return result;
}
