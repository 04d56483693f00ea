#include "RegistryTestSupport.h"

#include "TestEnvironment.h"

#include <QString>
#include <cstdio>
#include <fstream>
#include <mutex>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>

extern char** environ;

namespace regtest {

std::u16string wide(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), qsizetype(utf8.size())).toStdU16String();
}

std::string narrow(std::u16string_view text) {
    return QString::fromUtf16(text.data(), qsizetype(text.size())).toStdString();
}

HKEY createKey(HKEY parent, std::string_view path, REGSAM access) {
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyExW(parent, wide(path).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                              access, nullptr, &key, nullptr),
              ERROR_SUCCESS)
        << path;
    return key;
}

HKEY openKey(HKEY parent, std::string_view path, REGSAM access) {
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExW(parent, wide(path).c_str(), 0, access, &key), ERROR_SUCCESS) << path;
    return key;
}

LONG setString(HKEY key, std::string_view name, std::string_view text) {
    const std::u16string data = wide(text);
    return RegSetValueExW(key, wide(name).c_str(), 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(data.c_str()),
                          DWORD((data.size() + 1) * sizeof(WCHAR)));
}

LONG setDword(HKEY key, std::string_view name, DWORD number) {
    return RegSetValueExW(key, wide(name).c_str(), 0, REG_DWORD,
                          reinterpret_cast<const BYTE*>(&number), sizeof number);
}

std::optional<std::vector<BYTE>> queryBytes(HKEY key, std::string_view name, DWORD* type) {
    const std::u16string valueName = wide(name);
    DWORD size = 0;
    if (RegQueryValueExW(key, valueName.c_str(), nullptr, type, nullptr, &size) != ERROR_SUCCESS)
        return std::nullopt;
    std::vector<BYTE> data(size);
    EXPECT_EQ(RegQueryValueExW(key, valueName.c_str(), nullptr, type, data.data(), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(size, data.size());
    return data;
}

std::optional<std::string> queryString(HKEY key, std::string_view name) {
    DWORD type = REG_NONE;
    const std::optional<std::vector<BYTE>> data = queryBytes(key, name, &type);
    if (!data)
        return std::nullopt;
    EXPECT_EQ(type, DWORD(REG_SZ));
    EXPECT_TRUE(data->size() >= 2 && data->size() % 2 == 0 && data->end()[-1] == 0 &&
                data->end()[-2] == 0)
        << "REG_SZ without its terminating zero";
    return narrow(
        std::u16string_view(reinterpret_cast<const char16_t*>(data->data()), data->size() / 2 - 1));
}

std::optional<DWORD> queryDword(HKEY key, std::string_view name) {
    DWORD type = REG_NONE;
    const std::optional<std::vector<BYTE>> data = queryBytes(key, name, &type);
    if (!data)
        return std::nullopt;
    EXPECT_EQ(type, DWORD(REG_DWORD));
    EXPECT_EQ(data->size(), 4u);
    DWORD number = 0;
    std::memcpy(&number, data->data(), std::min<size_t>(4, data->size()));
    return number;
}

std::vector<std::string> subkeyNames(HKEY key) {
    std::vector<std::string> names;
    for (DWORD index = 0;; ++index) {
        WCHAR name[1024];
        DWORD length = 1024;
        const LONG result =
            RegEnumKeyExW(key, index, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (result == ERROR_NO_MORE_ITEMS)
            return names;
        if (result != ERROR_SUCCESS) {
            ADD_FAILURE() << "RegEnumKeyExW answered " << result;
            return names;
        }
        names.push_back(narrow(std::u16string_view(name, length)));
    }
}

LONG deleteTree(HKEY parent, const std::u16string& name) {
    HKEY key = nullptr;
    LONG result = RegOpenKeyExW(parent, name.c_str(), 0, KEY_ALL_ACCESS, &key);
    if (result != ERROR_SUCCESS)
        return result;
    for (;;) {
        WCHAR child[256];
        DWORD length = 256;
        result = RegEnumKeyExW(key, 0, child, &length, nullptr, nullptr, nullptr, nullptr);
        if (result != ERROR_SUCCESS)
            break;
        result = deleteTree(key, child);
        if (result != ERROR_SUCCESS)
            break;
    }
    if (result != ERROR_NO_MORE_ITEMS && result != 1010) {
        RegCloseKey(key);
        return result;
    }
    result = RegDeleteKeyW(parent, name.c_str());
    RegCloseKey(key);
    return result;
}

std::string readFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

void writeFile(const std::string& path, std::string_view bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), std::streamsize(bytes.size()));
    ASSERT_TRUE(file.good()) << path;
}

void replaceFile(const std::string& path, std::string_view bytes) {
    const std::string temporary = path + ".edit";
    writeFile(temporary, bytes);
    ASSERT_EQ(std::rename(temporary.c_str(), path.c_str()), 0) << path;
}

pid_t startWriter(const std::vector<std::string>& arguments) {
    std::vector<std::string> all{REGISTRY_TEST_WRITER};
    all.insert(all.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& argument : all)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid_t process = -1;
    EXPECT_EQ(posix_spawn(&process, argv[0], nullptr, nullptr, argv.data(), environ), 0);
    return process;
}

int waitForWriter(pid_t process) {
    int status = 0;
    if (process <= 0 || waitpid(process, &status, 0) != process)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

namespace {
std::mutex capturedMutex;
QStringList captured;
QtMessageHandler previousHandler = nullptr;

void captureMessage(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type != QtWarningMsg)
        return;
    const std::lock_guard lock(capturedMutex);
    captured.append(message);
}
} // namespace

WarningCapture::WarningCapture() {
    captured.clear();
    previousHandler = qInstallMessageHandler(captureMessage);
}

WarningCapture::~WarningCapture() {
    qInstallMessageHandler(previousHandler);
}

QStringList WarningCapture::messages() const {
    const std::lock_guard lock(capturedMutex);
    return captured;
}

void RegistryTest::SetUp() {
    m_folder = dorvo2test::makeTempDir("registry");
    setenv("DORVO2_REGISTRY_DIR", m_folder.c_str(), 1);
    // A machine-wide registry of its own, empty until a test writes one.
    m_systemFolder = dorvo2test::makeTempDir("machine-wide");
    setenv("DORVO2_SYSTEM_REGISTRY_DIR", m_systemFolder.c_str(), 1);
}

} // namespace regtest
