#include "ComTestSupport.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

namespace comtest {
namespace {

WarningCapture* g_capture = nullptr;

LPCWSTR wide(const QString& text) {
    return reinterpret_cast<LPCWSTR>(text.utf16());
}

HKEY createKey(const QString& name) {
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, wide(name), 0, nullptr, REG_OPTION_NON_VOLATILE,
                              KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    return key;
}

} // namespace

WarningCapture::WarningCapture() : m_previous(qInstallMessageHandler(&WarningCapture::handle)) {
    g_capture = this;
}

WarningCapture::~WarningCapture() {
    g_capture = nullptr;
    qInstallMessageHandler(m_previous);
}

void WarningCapture::handle(QtMsgType, const QMessageLogContext&, const QString& message) {
    if (g_capture)
        g_capture->m_messages.append(message);
}

QString classKeyName(REFCLSID clsid) {
    OLECHAR text[39];
    StringFromGUID2(clsid, text, 39);
    return QStringLiteral("CLSID\\") + QString::fromUtf16(text);
}

void registerInprocServerValue(REFCLSID clsid, DWORD type, const void* data, DWORD bytes) {
    HKEY key = createKey(classKeyName(clsid) + QStringLiteral("\\InprocServer32"));
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(RegSetValueExW(key, nullptr, 0, type, static_cast<const BYTE*>(data), bytes),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

void registerInprocServer(REFCLSID clsid, const QString& path) {
    registerInprocServerValue(clsid, REG_SZ, path.utf16(), DWORD((path.size() + 1) * 2));
}

void unregisterInprocServer(REFCLSID clsid) {
    RegDeleteKeyW(HKEY_CLASSES_ROOT,
                  wide(classKeyName(clsid) + QStringLiteral("\\InprocServer32")));
    RegDeleteKeyW(HKEY_CLASSES_ROOT, wide(classKeyName(clsid)));
}

bool readClassesText(const QString& keyName, const QString& valueName, QString* text) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, wide(keyName), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    WCHAR buffer[1024] = {};
    DWORD bytes = sizeof buffer - sizeof(WCHAR);
    DWORD type = REG_NONE;
    const LONG error = RegQueryValueExW(key, valueName.isEmpty() ? nullptr : wide(valueName),
                                        nullptr, &type, reinterpret_cast<BYTE*>(buffer), &bytes);
    RegCloseKey(key);
    if (error != ERROR_SUCCESS || type != REG_SZ)
        return false;
    *text = QString::fromUtf16(buffer);
    return true;
}

bool isLibraryLoaded(const std::string& path) {
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (!handle)
        return false;
    dlclose(handle);
    return true;
}

} // namespace comtest
