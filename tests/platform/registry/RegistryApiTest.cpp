// The registry functions' answers, as the catalogue and a server's registration rely on them.
#include "RegistryTestSupport.h"

#include <cstring>

using namespace regtest;

namespace {

const std::string kPlugins = "Software\\Quenor\\Dorvo2\\Plugins";
const std::string kClassKey = "CLSID\\{6A0D2F3C-1B44-4E1A-9C55-0123456789AB}";

class RegistryApiTest : public RegistryTest {};

TEST_F(RegistryApiTest, CreateTellsNewFromExistingAndOpenFindsTheKeyInAnyCase) {
    HKEY key = nullptr;
    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, wide(kPlugins).c_str(), 0, nullptr,
                              REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, DWORD(REG_CREATED_NEW_KEY));
    RegCloseKey(key);

    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\quenor", 0, nullptr,
                              REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, DWORD(REG_OPENED_EXISTING_KEY));
    EXPECT_EQ(subkeyNames(key), std::vector<std::string>{"Dorvo2"}) << "the first spelling stays";
    RegCloseKey(key);

    HKEY opened = openKey(HKEY_LOCAL_MACHINE, "software\\QUENOR\\dorvo2\\plugins\\", KEY_READ);
    EXPECT_NE(opened, nullptr);
    RegCloseKey(opened);

    HKEY missing = reinterpret_cast<HKEY>(0x1);
    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Software\\Nothing", 0, KEY_READ, &missing),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(missing, nullptr);
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, wide(kPlugins).c_str(), 0, KEY_READ, &missing),
              ERROR_FILE_NOT_FOUND)
        << "the user hive is another hive";
}

TEST_F(RegistryApiTest, ValuesAnswerWithWindowsByteCounts) {
    HKEY key = createKey(HKEY_CLASSES_ROOT, kClassKey);
    ASSERT_EQ(RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(u"Dorvo"), 12),
              ERROR_SUCCESS);

    DWORD type = REG_NONE;
    DWORD size = 0;
    ASSERT_EQ(RegQueryValueExW(key, u"", nullptr, &type, nullptr, &size), ERROR_SUCCESS)
        << "an empty name is the default value too";
    EXPECT_EQ(type, DWORD(REG_SZ));
    EXPECT_EQ(size, 12u) << "five UTF-16 characters and the terminating zero";

    BYTE buffer[16];
    std::memset(buffer, 0xEE, sizeof buffer);
    size = 11;
    EXPECT_EQ(RegQueryValueExW(key, nullptr, nullptr, &type, buffer, &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 12u) << "the size needed";
    EXPECT_EQ(buffer[0], 0xEE) << "a short buffer is left alone";

    size = sizeof buffer;
    ASSERT_EQ(RegQueryValueExW(key, nullptr, nullptr, nullptr, buffer, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 12u);
    EXPECT_EQ(std::memcmp(buffer, u"Dorvo", 12), 0);
    EXPECT_EQ(buffer[12], 0xEE) << "nothing written past the value";

    ASSERT_EQ(setDword(key, "DORVO2_KEY_TYPE", 0x12), ERROR_SUCCESS);
    EXPECT_EQ(queryDword(key, "dorvo2_key_type"), 0x12u);

    const BYTE blob[] = {0, 1, 2, 0xFF, 0};
    ASSERT_EQ(RegSetValueExW(key, u"Blob", 0, REG_BINARY, blob, sizeof blob), ERROR_SUCCESS);
    EXPECT_EQ(queryBytes(key, "Blob", &type), std::vector<BYTE>(blob, blob + sizeof blob));
    EXPECT_EQ(type, DWORD(REG_BINARY));

    ASSERT_EQ(RegSetValueExW(key, u"Empty", 0, REG_BINARY, nullptr, 0), ERROR_SUCCESS);
    EXPECT_EQ(queryBytes(key, "Empty"), std::vector<BYTE>());

    EXPECT_EQ(RegQueryValueExW(key, u"Missing", nullptr, &type, nullptr, &size),
              ERROR_FILE_NOT_FOUND);
    RegCloseKey(key);
}

TEST_F(RegistryApiTest, ValueNamesIgnoreCaseAndKeepTheFirstSpelling) {
    HKEY key = createKey(HKEY_CURRENT_USER, "Software\\Test");
    ASSERT_EQ(setString(key, "ThreadingModel", "Apartment"), ERROR_SUCCESS);
    ASSERT_EQ(setString(key, "THREADINGMODEL", "Both"), ERROR_SUCCESS);
    EXPECT_EQ(queryString(key, "threadingmodel"), "Both");
    EXPECT_EQ(readFile(userHive()).find("THREADINGMODEL"), std::string::npos);
    EXPECT_NE(readFile(userHive()).find("\"ThreadingModel\"=\"Both\""), std::string::npos);

    EXPECT_EQ(RegDeleteValueW(key, u"threadingMODEL"), ERROR_SUCCESS);
    EXPECT_EQ(queryString(key, "ThreadingModel"), std::nullopt);
    EXPECT_EQ(RegDeleteValueW(key, u"ThreadingModel"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteValueW(key, nullptr), ERROR_FILE_NOT_FOUND);
    RegCloseKey(key);
}

TEST_F(RegistryApiTest, EnumerationIsSortedWithoutCaseAndEndsWith259) {
    HKEY parent = createKey(HKEY_LOCAL_MACHINE, kPlugins);
    for (const char* name : {"b", "A", "c", "a2", "{0B}", "Zz"})
        RegCloseKey(createKey(parent, name));
    EXPECT_EQ(subkeyNames(parent), (std::vector<std::string>{"A", "a2", "b", "c", "Zz", "{0B}"}));

    WCHAR name[3];
    DWORD length = 2;
    EXPECT_EQ(RegEnumKeyExW(parent, 1, name, &length, nullptr, nullptr, nullptr, nullptr),
              ERROR_MORE_DATA)
        << "\"a2\" needs room for its zero";
    EXPECT_EQ(length, 2u) << "left as it was";
    length = 3;
    ASSERT_EQ(RegEnumKeyExW(parent, 1, name, &length, nullptr, nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(length, 2u) << "the name's length without the zero";
    EXPECT_EQ(std::u16string(name), u"a2");

    WCHAR className[4] = {u'x'};
    DWORD classLength = 4;
    FILETIME written{7, 7};
    length = 3;
    ASSERT_EQ(RegEnumKeyExW(parent, 0, name, &length, nullptr, className, &classLength, &written),
              ERROR_SUCCESS);
    EXPECT_EQ(className[0], 0);
    EXPECT_EQ(classLength, 0u);
    EXPECT_EQ(written.dwLowDateTime, 0u);

    length = 3;
    EXPECT_EQ(RegEnumKeyExW(parent, 6, name, &length, nullptr, nullptr, nullptr, nullptr),
              ERROR_NO_MORE_ITEMS);
    EXPECT_EQ(ERROR_NO_MORE_ITEMS, 259);
    RegCloseKey(parent);

    length = 3;
    EXPECT_EQ(
        RegEnumKeyExW(HKEY_CLASSES_ROOT, 0, name, &length, nullptr, nullptr, nullptr, nullptr),
        ERROR_NO_MORE_ITEMS)
        << "no classes yet";
}

TEST_F(RegistryApiTest, DeleteKeyRefusesAKeyWithSubkeys) {
    RegCloseKey(createKey(HKEY_LOCAL_MACHINE, kPlugins + "\\{A}"));
    EXPECT_EQ(RegDeleteKeyW(HKEY_LOCAL_MACHINE, wide(kPlugins).c_str()), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteKeyW(HKEY_LOCAL_MACHINE, wide(kPlugins + "\\{a}").c_str()), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyW(HKEY_LOCAL_MACHINE, wide(kPlugins + "\\{A}").c_str()),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteKeyW(HKEY_LOCAL_MACHINE, wide(kPlugins).c_str()), ERROR_SUCCESS);

    HKEY parent = openKey(HKEY_LOCAL_MACHINE, "Software\\Quenor\\Dorvo2");
    EXPECT_EQ(subkeyNames(parent), std::vector<std::string>{});
    RegCloseKey(parent);

    EXPECT_EQ(RegDeleteKeyW(HKEY_LOCAL_MACHINE, u""), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteKeyW(HKEY_CLASSES_ROOT, u""), ERROR_ACCESS_DENIED);
}

TEST_F(RegistryApiTest, UnregistrationDeletesKeyTreesBottomUp) {
    const std::string component = "CLSID\\{11111111-2222-3333-4444-555555555555}";
    const std::string page = "CLSID\\{99999999-2222-3333-4444-555555555555}";
    for (const std::string& path :
         {component + "\\InprocServer32", component + "\\Implemented Categories\\{A}\\Deep\\er",
          component + "\\Implemented Categories\\{B}", page + "\\InprocServer32"}) {
        HKEY key = createKey(HKEY_CLASSES_ROOT, path);
        EXPECT_EQ(setString(key, "", "value"), ERROR_SUCCESS);
        RegCloseKey(key);
    }

    EXPECT_EQ(deleteTree(HKEY_CLASSES_ROOT, wide(component)), ERROR_SUCCESS);
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, wide(component).c_str(), 0, KEY_READ, &key),
              ERROR_FILE_NOT_FOUND);
    HKEY other = openKey(HKEY_CLASSES_ROOT, page + "\\InprocServer32", KEY_READ);
    EXPECT_EQ(queryString(other, ""), "value") << "the other class is untouched";
    RegCloseKey(other);

    EXPECT_EQ(deleteTree(HKEY_CLASSES_ROOT, wide(component)), ERROR_FILE_NOT_FOUND)
        << "unregistering what is not registered fails";
}

TEST_F(RegistryApiTest, ClassesRootIsTheMachineSoftwareClasses) {
    HKEY key = createKey(HKEY_CLASSES_ROOT, kClassKey);
    ASSERT_EQ(setString(key, "", "Dorvo"), ERROR_SUCCESS);
    RegCloseKey(key);

    key = openKey(HKEY_LOCAL_MACHINE, "Software\\Classes\\" + kClassKey, KEY_READ);
    EXPECT_EQ(queryString(key, ""), "Dorvo");
    RegCloseKey(key);

    HKEY root = openKey(HKEY_CLASSES_ROOT, "", KEY_READ);
    EXPECT_EQ(subkeyNames(root), std::vector<std::string>{"CLSID"});
    RegCloseKey(root);
}

TEST_F(RegistryApiTest, GarbageAndClosedHandlesAreRefused) {
    HKEY key = createKey(HKEY_LOCAL_MACHINE, "Software\\Test");
    ASSERT_EQ(RegCloseKey(key), ERROR_SUCCESS);

    for (HKEY bad : {key, static_cast<HKEY>(nullptr), reinterpret_cast<HKEY>(0xDEADBEEF),
                     reinterpret_cast<HKEY>(0x80000005u)}) {
        HKEY result = nullptr;
        WCHAR name[16];
        DWORD length = 16;
        DWORD size = 0;
        EXPECT_EQ(RegOpenKeyExW(bad, u"x", 0, KEY_READ, &result), ERROR_INVALID_HANDLE);
        EXPECT_EQ(
            RegCreateKeyExW(bad, u"x", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &result, nullptr),
            ERROR_INVALID_HANDLE);
        EXPECT_EQ(RegQueryValueExW(bad, u"x", nullptr, nullptr, nullptr, &size),
                  ERROR_INVALID_HANDLE);
        EXPECT_EQ(setString(bad, "x", "y"), ERROR_INVALID_HANDLE);
        EXPECT_EQ(RegEnumKeyExW(bad, 0, name, &length, nullptr, nullptr, nullptr, nullptr),
                  ERROR_INVALID_HANDLE);
        EXPECT_EQ(RegDeleteKeyW(bad, u"x"), ERROR_INVALID_HANDLE);
        EXPECT_EQ(RegDeleteValueW(bad, u"x"), ERROR_INVALID_HANDLE);
        EXPECT_EQ(RegCloseKey(bad), ERROR_INVALID_HANDLE);
    }
    EXPECT_EQ(RegCloseKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(HKEY_CLASSES_ROOT), ERROR_SUCCESS);
    EXPECT_EQ(subkeyNames(HKEY_LOCAL_MACHINE), std::vector<std::string>{"Software"})
        << "predefined keys stay usable after a close";
}

TEST_F(RegistryApiTest, HandleOfADeletedKeySaysSo) {
    HKEY doomed = createKey(HKEY_LOCAL_MACHINE, "Software\\Doomed");
    ASSERT_EQ(setString(doomed, "v", "1"), ERROR_SUCCESS);
    ASSERT_EQ(RegDeleteKeyW(HKEY_LOCAL_MACHINE, u"Software\\Doomed"), ERROR_SUCCESS);

    DWORD size = 0;
    WCHAR name[8];
    DWORD length = 8;
    HKEY result = nullptr;
    EXPECT_EQ(RegQueryValueExW(doomed, u"v", nullptr, nullptr, nullptr, &size), ERROR_KEY_DELETED);
    EXPECT_EQ(setString(doomed, "v", "2"), ERROR_KEY_DELETED);
    EXPECT_EQ(RegEnumKeyExW(doomed, 0, name, &length, nullptr, nullptr, nullptr, nullptr),
              ERROR_KEY_DELETED);
    EXPECT_EQ(
        RegCreateKeyExW(doomed, u"x", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &result, nullptr),
        ERROR_KEY_DELETED);

    RegCloseKey(createKey(HKEY_LOCAL_MACHINE, "Software\\Doomed"));
    EXPECT_EQ(RegQueryValueExW(doomed, u"v", nullptr, nullptr, nullptr, &size), ERROR_KEY_DELETED)
        << "a new key of the same name is another key";
    EXPECT_EQ(RegCloseKey(doomed), ERROR_SUCCESS);

    HKEY self = createKey(HKEY_LOCAL_MACHINE, "Software\\Self");
    EXPECT_EQ(RegDeleteKeyW(self, u""), ERROR_SUCCESS) << "an empty name deletes the key itself";
    EXPECT_EQ(RegQueryValueExW(self, u"v", nullptr, nullptr, nullptr, &size), ERROR_KEY_DELETED);
    RegCloseKey(self);
}

TEST_F(RegistryApiTest, NullPointersAndBadNamesAreInvalidParameters) {
    HKEY key = createKey(HKEY_LOCAL_MACHINE, "Software\\Test");
    HKEY result = nullptr;
    DWORD size = 4;
    DWORD reserved = 0;
    BYTE data[4];
    WCHAR name[8];
    DWORD length = 8;
    EXPECT_EQ(RegOpenKeyExW(key, u"x", 0, KEY_READ, nullptr), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(
        RegCreateKeyExW(key, nullptr, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &result, nullptr),
        ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegCreateKeyExW(key, u"x", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, nullptr, nullptr),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegQueryValueExW(key, u"x", nullptr, nullptr, data, nullptr),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegQueryValueExW(key, u"x", &reserved, nullptr, nullptr, &size),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegSetValueExW(key, u"x", 0, REG_BINARY, nullptr, 4), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegEnumKeyExW(key, 0, nullptr, &length, nullptr, nullptr, nullptr, nullptr),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegEnumKeyExW(key, 0, name, nullptr, nullptr, nullptr, nullptr, nullptr),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegDeleteKeyW(key, nullptr), ERROR_INVALID_PARAMETER);

    const std::u16string longest(255, u'k');
    for (const std::u16string& bad : {std::u16string(u"a\\\\b"), std::u16string(u"\\a"),
                                      std::u16string(u"tab\there"), longest + u"k"}) {
        EXPECT_EQ(RegCreateKeyExW(key, bad.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &result,
                                  nullptr),
                  ERROR_INVALID_PARAMETER)
            << narrow(bad);
    }
    EXPECT_EQ(RegCreateKeyExW(key, u"x", 0, nullptr, 1 /* volatile */, KEY_ALL_ACCESS, nullptr,
                              &result, nullptr),
              ERROR_INVALID_PARAMETER);
    RegCloseKey(createKey(key, narrow(longest)));
    EXPECT_EQ(subkeyNames(key), std::vector<std::string>{narrow(longest)});
    EXPECT_EQ(setString(HKEY_LOCAL_MACHINE, "x", "y"), ERROR_ACCESS_DENIED)
        << "hive roots hold no values";
    RegCloseKey(key);
}

TEST_F(RegistryApiTest, HandlesAllowOnlyWhatTheyWereOpenedFor) {
    RegCloseKey(createKey(HKEY_LOCAL_MACHINE, "Software\\Test\\Child"));
    HKEY reader = openKey(HKEY_LOCAL_MACHINE, "Software\\Test", KEY_READ);
    HKEY result = nullptr;
    EXPECT_EQ(setString(reader, "v", "1"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteValueW(reader, u"v"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(
        RegCreateKeyExW(reader, u"New", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &result, nullptr),
        ERROR_ACCESS_DENIED);
    ASSERT_EQ(RegCreateKeyExW(reader, u"child", 0, nullptr, 0, KEY_READ, nullptr, &result, nullptr),
              ERROR_SUCCESS)
        << "opening an existing key needs no right to create";
    RegCloseKey(result);
    RegCloseKey(reader);

    HKEY writer = openKey(HKEY_LOCAL_MACHINE, "Software\\Test", KEY_SET_VALUE);
    EXPECT_EQ(setString(writer, "v", "1"), ERROR_SUCCESS);
    DWORD size = 0;
    WCHAR name[8];
    DWORD length = 8;
    EXPECT_EQ(RegQueryValueExW(writer, u"v", nullptr, nullptr, nullptr, &size),
              ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegEnumKeyExW(writer, 0, name, &length, nullptr, nullptr, nullptr, nullptr),
              ERROR_ACCESS_DENIED);
    RegCloseKey(writer);
}

} // namespace
