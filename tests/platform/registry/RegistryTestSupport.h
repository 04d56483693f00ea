// Helpers shared by the registry tests.
#pragma once

#include <dorvo/winreg.h>

#include <QStringList>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <vector>

namespace regtest {

std::u16string wide(std::string_view utf8);
std::string narrow(std::u16string_view text);

// Each helper fails the test (EXPECT) when a call fails and returns an empty result.
HKEY createKey(HKEY parent, std::string_view path, REGSAM access = KEY_ALL_ACCESS);
HKEY openKey(HKEY parent, std::string_view path, REGSAM access = KEY_ALL_ACCESS);
LONG setString(HKEY key, std::string_view name, std::string_view text);
LONG setDword(HKEY key, std::string_view name, DWORD number);
std::optional<std::string> queryString(HKEY key, std::string_view name);
std::optional<DWORD> queryDword(HKEY key, std::string_view name);
std::optional<std::vector<BYTE>> queryBytes(HKEY key, std::string_view name, DWORD* type = nullptr);
// Subkey names by index until ERROR_NO_MORE_ITEMS.
std::vector<std::string> subkeyNames(HKEY key);

// Deletes a key tree bottom-up as a server's unregistration does: enumerate index 0 with a
// 255-character buffer, recurse, until the enumeration answers 259 (or 1010).
LONG deleteTree(HKEY parent, const std::u16string& name);

std::string readFile(const std::string& path);
void writeFile(const std::string& path, std::string_view bytes);
// Replaces the file by rename, as another process's editor would.
void replaceFile(const std::string& path, std::string_view bytes);

// Runs the writer helper with these arguments and waits for it; its exit status.
pid_t startWriter(const std::vector<std::string>& arguments);
int waitForWriter(pid_t process);

// Collects the warnings printed while it lives.
class WarningCapture {
public:
    WarningCapture();
    ~WarningCapture();
    QStringList messages() const;
};

// Every test gets an empty registry folder of its own.
class RegistryTest : public testing::Test {
protected:
    void SetUp() override;
    std::string machineHive() const { return m_folder + "/machine.reg"; }
    std::string userHive() const { return m_folder + "/user.reg"; }

    std::string m_folder;
    std::string m_systemFolder;
};

} // namespace regtest
