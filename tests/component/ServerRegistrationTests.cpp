// The component build's registration in the test's own registry: both class keys with their
// values, registering twice, and unregistering that removes whole trees or says it found none.
#include "TServerRegistration.h"

#include <gtest/gtest.h>

#include <QString>

#include <optional>

namespace {

const CLSID kComponent = {0x7C1E0A01, 0x1111, 0x4A4A, {0x80, 1, 2, 3, 4, 5, 6, 7}};
const CLSID kPage = {0x7C1E0A02, 0x1111, 0x4A4A, {0x80, 1, 2, 3, 4, 5, 6, 7}};
const WCHAR kComponentKey[] = u"CLSID\\{7C1E0A01-1111-4A4A-8001-020304050607}";
const WCHAR kPageKey[] = u"CLSID\\{7C1E0A02-1111-4A4A-8001-020304050607}";

// The text value of HKEY_CLASSES_ROOT\path; null when there is none.
std::optional<QString> text(const QString& path, LPCWSTR name) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, reinterpret_cast<LPCWSTR>(path.utf16()), 0, KEY_READ,
                      &key) != ERROR_SUCCESS)
        return std::nullopt;
    WCHAR buffer[512] = {};
    DWORD size = sizeof buffer;
    DWORD type = 0;
    const LONG result =
        RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS || type != REG_SZ)
        return std::nullopt;
    return QString::fromUtf16(buffer);
}

bool exists(const QString& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, reinterpret_cast<LPCWSTR>(path.utf16()), 0, KEY_READ,
                      &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

TEST(ServerRegistrationTest, RegistersBothClassesAndUnregistersWholeTrees) {
    const QString component = QString::fromUtf16(kComponentKey);
    const QString page = QString::fromUtf16(kPageKey);
    EXPECT_EQ(TServerRegistration::unregisterServer(kComponent, kPage), SELFREG_E_CLASS)
        << "nothing registered yet";

    for (int time = 0; time < 2; ++time)
        ASSERT_EQ(TServerRegistration::registerServer(kComponent, kPage,
                                                      reinterpret_cast<const void*>(&text)),
                  S_OK);
    EXPECT_EQ(text(component, nullptr), "Dorvo");
    EXPECT_EQ(text(component + "\\InprocServer32", u"ThreadingModel"), "Both");
    EXPECT_EQ(text(page, nullptr), "Property Page for Dorvo2");
    EXPECT_EQ(text(page + "\\InprocServer32", u"ThreadingModel"), "Apartment");
    const std::optional<QString> library = text(component + "\\InprocServer32", nullptr);
    ASSERT_TRUE(library);
    EXPECT_TRUE(library->endsWith("component_registration_tests")) << library->toStdString();

    // Keys that someone added below the class key go with it, however deep.
    HKEY deep = nullptr;
    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT,
                              reinterpret_cast<LPCWSTR>((component + "\\A\\B\\C\\D").utf16()), 0,
                              nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &deep,
                              &disposition),
              ERROR_SUCCESS);
    RegCloseKey(deep);

    EXPECT_EQ(TServerRegistration::unregisterServer(kComponent, kPage), S_OK);
    EXPECT_FALSE(exists(component));
    EXPECT_FALSE(exists(page));
    EXPECT_TRUE(exists("CLSID")) << "only the classes' own keys go";
    EXPECT_EQ(TServerRegistration::unregisterServer(kComponent, kPage), SELFREG_E_CLASS);

    // Unregistering stops at the first class that is missing.
    ASSERT_EQ(TServerRegistration::registerClass(kPage, u"Page", u"Apartment",
                                                 reinterpret_cast<const void*>(&text)),
              S_OK);
    EXPECT_EQ(TServerRegistration::unregisterServer(kComponent, kPage), SELFREG_E_CLASS);
    EXPECT_TRUE(exists(page));
    EXPECT_EQ(TServerRegistration::deleteKeyTree(HKEY_CLASSES_ROOT, kPageKey), ERROR_SUCCESS);
    EXPECT_EQ(TServerRegistration::deleteKeyTree(HKEY_CLASSES_ROOT, kPageKey),
              ERROR_FILE_NOT_FOUND);
}

} // namespace
