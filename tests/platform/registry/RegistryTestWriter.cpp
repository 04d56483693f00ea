// Writes into the machine hive from a process of its own:
//   registry_test_writer KEY PREFIX COUNT
// sets COUNT values PREFIX-0 .. PREFIX-(COUNT-1) (REG_DWORD, the number) in KEY and makes a
// subkey of the same name for each; exits with 1 at the first call that fails.
#include <dorvo/winreg.h>

#include <QString>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: registry_test_writer KEY PREFIX COUNT\n");
        return 2;
    }
    const std::u16string keyPath = QString::fromUtf8(argv[1]).toStdU16String();
    const int count = std::atoi(argv[3]);
    HKEY key = nullptr;
    LONG result = RegCreateKeyExW(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, nullptr,
                                  REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    for (int i = 0; i < count && result == ERROR_SUCCESS; ++i) {
        const std::u16string name =
            QStringLiteral("%1-%2").arg(QString::fromUtf8(argv[2])).arg(i).toStdU16String();
        const DWORD number = DWORD(i);
        result = RegSetValueExW(key, name.c_str(), 0, REG_DWORD,
                                reinterpret_cast<const BYTE*>(&number), sizeof number);
        HKEY subkey = nullptr;
        if (result == ERROR_SUCCESS)
            result = RegCreateKeyExW(key, name.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                     KEY_ALL_ACCESS, nullptr, &subkey, nullptr);
        if (result == ERROR_SUCCESS)
            RegCloseKey(subkey);
    }
    RegCloseKey(key);
    if (result != ERROR_SUCCESS)
        std::fprintf(stderr, "registry_test_writer: error %d\n", int(result));
    return result == ERROR_SUCCESS ? 0 : 1;
}
