// The hive files: their text, hand edits, other processes, damage.
#include "RegistryTestSupport.h"

#include <cstdlib>
#include <filesystem>
#include <unistd.h>

using namespace regtest;

namespace {

const std::string kClass = "{6A0D2F3C-1B44-4E1A-9C55-0123456789AB}";

class HiveFileTest : public RegistryTest {};

TEST_F(HiveFileTest, WritesTheDocumentedText) {
    HKEY cls = createKey(HKEY_CLASSES_ROOT, "CLSID\\" + kClass);
    ASSERT_EQ(setString(cls, "", "Dorvo"), ERROR_SUCCESS);
    HKEY server = createKey(cls, "InprocServer32");
    ASSERT_EQ(setString(server, "", "/usr/lib/x86_64-linux-gnu/libdorvo2comp.so"), ERROR_SUCCESS);
    ASSERT_EQ(setString(server, "ThreadingModel", "Both"), ERROR_SUCCESS);
    HKEY plugin = createKey(HKEY_LOCAL_MACHINE, "Software\\Quenor\\Dorvo2\\Plugins\\" + kClass);
    ASSERT_EQ(setDword(plugin, "DORVO2_KEY_TYPE", 0x12), ERROR_SUCCESS);
    ASSERT_EQ(setString(plugin, "DORVO2_KEY_PLUGIN_NAME", "Demo \"Synth\" \\ Ünï 🎹\n"),
              ERROR_SUCCESS);
    const BYTE blob[] = {0x00, 0x7F, 0xFF};
    ASSERT_EQ(RegSetValueExW(plugin, u"Blob", 0, REG_BINARY, blob, 3), ERROR_SUCCESS);
    const BYTE expand[] = {0x25, 0, 0, 0};
    ASSERT_EQ(RegSetValueExW(plugin, u"Expand", 0, 2, expand, 4), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(plugin, u"Odd", 0, REG_SZ, reinterpret_cast<const BYTE*>("A"), 1),
              ERROR_SUCCESS);
    const std::u16string unpaired = {u'x', char16_t(0xD800), 0};
    ASSERT_EQ(RegSetValueExW(plugin, u"Tab\tName", 0, REG_SZ,
                             reinterpret_cast<const BYTE*>(unpaired.data()), 6),
              ERROR_SUCCESS);
    RegCloseKey(createKey(HKEY_LOCAL_MACHINE, "Software\\Empty"));
    for (HKEY key : {cls, server, plugin})
        RegCloseKey(key);

    EXPECT_EQ(
        readFile(machineHive()),
        R"HIVE(; Dorvo2 registry, machine hive. Comments other than these two lines are not kept.
; [Key\Path] starts a key; its values follow: @="default", "name"="text", "name"=dword:0000002a, "name"=hex:01,ff, "name"=hex(7):.. for other types.

[Software\Classes\CLSID\{6A0D2F3C-1B44-4E1A-9C55-0123456789AB}]
@="Dorvo"

[Software\Classes\CLSID\{6A0D2F3C-1B44-4E1A-9C55-0123456789AB}\InprocServer32]
@="/usr/lib/x86_64-linux-gnu/libdorvo2comp.so"
"ThreadingModel"="Both"

[Software\Empty]

[Software\Quenor\Dorvo2\Plugins\{6A0D2F3C-1B44-4E1A-9C55-0123456789AB}]
"DORVO2_KEY_TYPE"=dword:00000012
"DORVO2_KEY_PLUGIN_NAME"="Demo \"Synth\" \\ Ünï 🎹\n"
"Blob"=hex:00,7f,ff
"Expand"=hex(2):25,00,00,00
"Odd"=hex(1):41
"Tab\tName"="x\ud800"
)HIVE");
    EXPECT_FALSE(std::filesystem::exists(userHive())) << "the user hive was not written to";
}

const char* const kHandWritten =
    "\xEF\xBB\xBF; written by hand\r\n"
    "# another comment\n"
    "   \n"
    "[Software\\Classes\\CLSID\\{AAAA}]\r\n"
    "@=\"Upper\"\n"
    "[Software\\Classes\\CLSID\\{aaaa}]\n"
    "@=\"lower\"\n"
    "  \"Spaced\" = \"a \\\"quoted\\\" \\\\ path\twith tab\\u0001\"  \n"
    "\"Number\"=dword:2A\n"
    "\"Expand\"=hex(2):25,00, 41,00 ,00,00\n"
    "\"Bin\"=hex:\n"
    "\"Later\"=\"first\"\n"
    "\"Later\"=\"second\"\n"
    "\n"
    "[Software\\Quenor\\Dorvo2\\Plugins\\{AAAA}]\n"
    "\"DORVO2_KEY_TYPE\"=dword:00007002\n"
    "[Software\\Quenor\\Dorvo2\\Plugins\\{AAAA}]\n"
    "\"DORVO2_KEY_ICON_URL\"=\"file:///icons/a.png\"";

void expectHandWrittenContent() {
    HKEY classes = openKey(HKEY_CLASSES_ROOT, "CLSID", KEY_READ);
    EXPECT_EQ(subkeyNames(classes), (std::vector<std::string>{"{AAAA}", "{aaaa}"}))
        << "keys that differ only in case are both listed";
    RegCloseKey(classes);

    HKEY upper = openKey(HKEY_CLASSES_ROOT, "CLSID\\{AAAA}", KEY_READ);
    HKEY lower = openKey(HKEY_CLASSES_ROOT, "CLSID\\{aaaa}", KEY_READ);
    HKEY mixed = openKey(HKEY_CLASSES_ROOT, "CLSID\\{AaAa}", KEY_READ);
    EXPECT_EQ(queryString(upper, ""), "Upper");
    EXPECT_EQ(queryString(lower, ""), "lower");
    EXPECT_EQ(queryString(mixed, ""), "Upper") << "no exact spelling: the first in order";
    EXPECT_EQ(queryString(lower, "spaced"), "a \"quoted\" \\ path\twith tab\x01");
    EXPECT_EQ(queryDword(lower, "Number"), 0x2Au);
    DWORD type = REG_NONE;
    EXPECT_EQ(queryBytes(lower, "Expand", &type), (std::vector<BYTE>{0x25, 0, 0x41, 0, 0, 0}));
    EXPECT_EQ(type, 2u);
    EXPECT_EQ(queryBytes(lower, "Bin", &type), std::vector<BYTE>());
    EXPECT_EQ(type, DWORD(REG_BINARY));
    EXPECT_EQ(queryString(lower, "Later"), "second");
    for (HKEY key : {upper, lower, mixed})
        RegCloseKey(key);

    HKEY plugin =
        openKey(HKEY_LOCAL_MACHINE, "Software\\Quenor\\Dorvo2\\Plugins\\{AAAA}", KEY_READ);
    EXPECT_EQ(queryDword(plugin, "DORVO2_KEY_TYPE"), 0x7002u);
    EXPECT_EQ(queryString(plugin, "DORVO2_KEY_ICON_URL"), "file:///icons/a.png");
    RegCloseKey(plugin);

    HKEY software = openKey(HKEY_LOCAL_MACHINE, "Software", KEY_READ);
    EXPECT_EQ(subkeyNames(software), (std::vector<std::string>{"Classes", "Quenor"}));
    RegCloseKey(software);
}

TEST_F(HiveFileTest, ReadsAHandWrittenHiveExactlyAndKeepsItThroughAWrite) {
    writeFile(machineHive(), kHandWritten);
    expectHandWrittenContent();

    HKEY lower = openKey(HKEY_CLASSES_ROOT, "CLSID\\{aaaa}");
    ASSERT_EQ(setString(lower, "New", "value"), ERROR_SUCCESS);
    RegCloseKey(lower);
    EXPECT_EQ(readFile(machineHive()).find("written by hand"), std::string::npos);
    expectHandWrittenContent();
}

TEST_F(HiveFileTest, SeesChangesOfOtherProcessesAndHandEdits) {
    HKEY key = createKey(HKEY_LOCAL_MACHINE, "Software\\Shared");
    ASSERT_EQ(setDword(key, "mine", 1), ERROR_SUCCESS);
    EXPECT_EQ(queryDword(key, "other-0"), std::nullopt);

    EXPECT_EQ(waitForWriter(startWriter({"Software\\Shared", "other", "1"})), 0);
    EXPECT_EQ(queryDword(key, "other-0"), 0u);
    EXPECT_EQ(queryDword(key, "mine"), 1u);

    replaceFile(machineHive(), "[Software\\Shared]\n\"mine\"=dword:2\n");
    EXPECT_EQ(queryDword(key, "mine"), 2u);
    EXPECT_EQ(queryDword(key, "other-0"), std::nullopt);

    writeFile(machineHive(), "[Software\\Shared]\n\"mine\"=dword:00000003\n");
    EXPECT_EQ(queryDword(key, "mine"), 3u) << "an edit in place is seen too";

    replaceFile(machineHive(), "[Software\\Elsewhere]\n");
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExW(key, u"mine", nullptr, nullptr, nullptr, &size), ERROR_KEY_DELETED)
        << "deleted by someone else";

    ASSERT_EQ(::unlink(machineHive().c_str()), 0);
    EXPECT_EQ(subkeyNames(HKEY_LOCAL_MACHINE), std::vector<std::string>{}) << "no file, no keys";
    RegCloseKey(key);
}

TEST_F(HiveFileTest, ProcessesWritingAtOnceLoseNoUpdate) {
    constexpr int kWriters = 4;
    constexpr int kEach = 40;
    std::vector<pid_t> writers;
    for (int w = 0; w < kWriters; ++w)
        writers.push_back(
            startWriter({"Software\\Race", "w" + std::to_string(w), std::to_string(kEach)}));
    HKEY key = createKey(HKEY_LOCAL_MACHINE, "Software\\Race");
    for (int i = 0; i < kEach; ++i)
        EXPECT_EQ(setDword(key, "parent-" + std::to_string(i), DWORD(i)), ERROR_SUCCESS);
    for (pid_t writer : writers)
        EXPECT_EQ(waitForWriter(writer), 0);

    for (int w = 0; w < kWriters; ++w) {
        for (int i = 0; i < kEach; ++i) {
            const std::string name = "w" + std::to_string(w) + "-" + std::to_string(i);
            EXPECT_EQ(queryDword(key, name), DWORD(i)) << name;
        }
    }
    for (int i = 0; i < kEach; ++i)
        EXPECT_EQ(queryDword(key, "parent-" + std::to_string(i)), DWORD(i));
    EXPECT_EQ(subkeyNames(key).size(), size_t(kWriters * kEach));
    RegCloseKey(key);
}

TEST_F(HiveFileTest, DamagedHiveIsReportedOnceAndNeverWrittenOver) {
    const std::string damaged = "; hand edit\n[Software\\Good]\n\"a\"=\"b\"\n\"n\"=dword:xyz\n";
    writeFile(machineHive(), damaged);
    const QString path = QString::fromStdString(machineHive());
    WarningCapture warnings;

    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Software\\Good", 0, KEY_READ, &key), ERROR_BADDB);
    EXPECT_EQ(
        warnings.messages(),
        QStringList{
            QStringLiteral("registry: %1:4: dword: needs 1 to 8 hexadecimal digits").arg(path)});

    WCHAR name[8];
    DWORD length = 8;
    EXPECT_EQ(
        RegEnumKeyExW(HKEY_LOCAL_MACHINE, 0, name, &length, nullptr, nullptr, nullptr, nullptr),
        ERROR_BADDB);
    EXPECT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"Software\\New", 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_BADDB);
    EXPECT_EQ(setString(HKEY_CLASSES_ROOT, "x", "y"), ERROR_BADDB);
    EXPECT_EQ(RegDeleteValueW(HKEY_CLASSES_ROOT, u"x"), ERROR_BADDB);
    EXPECT_EQ(RegDeleteKeyW(HKEY_LOCAL_MACHINE, u"Software\\Good"), ERROR_BADDB);
    EXPECT_EQ(warnings.messages().size(), 1) << "reported once per change of the file";
    EXPECT_EQ(readFile(machineHive()), damaged) << "byte for byte as it was";

    HKEY user = createKey(HKEY_CURRENT_USER, "Software\\Fine");
    EXPECT_EQ(setString(user, "v", "w"), ERROR_SUCCESS) << "the other hive is not affected";
    RegCloseKey(user);

    replaceFile(machineHive(), "[Software\\Good]\n\"a\"=\"b\"\n");
    key = openKey(HKEY_LOCAL_MACHINE, "Software\\Good", KEY_READ);
    EXPECT_EQ(queryString(key, "a"), "b") << "repaired";
    RegCloseKey(key);

    replaceFile(machineHive(), "[Software\\Good\n");
    EXPECT_EQ(setString(HKEY_CLASSES_ROOT, "x", "y"), ERROR_BADDB);
    ASSERT_EQ(warnings.messages().size(), 2);
    EXPECT_EQ(warnings.messages().back(),
              QStringLiteral("registry: %1:1: a section header must end with ]").arg(path));
}

TEST_F(HiveFileTest, TruncatedHivesNeverCrash) {
    WarningCapture quiet;
    const std::string whole = kHandWritten;
    int broken = 0;
    for (size_t length = 0; length <= whole.size(); ++length) {
        writeFile(machineHive(), whole.substr(0, length));
        WCHAR name[64];
        DWORD nameLength = 64;
        const LONG listed = RegEnumKeyExW(HKEY_CLASSES_ROOT, 0, name, &nameLength, nullptr, nullptr,
                                          nullptr, nullptr);
        EXPECT_TRUE(listed == ERROR_SUCCESS || listed == ERROR_NO_MORE_ITEMS ||
                    listed == ERROR_BADDB)
            << listed;
        HKEY key = nullptr;
        const LONG opened = RegOpenKeyExW(HKEY_CLASSES_ROOT, u"CLSID\\{aaaa}", 0, KEY_READ, &key);
        EXPECT_TRUE(opened == ERROR_SUCCESS || opened == ERROR_FILE_NOT_FOUND ||
                    opened == ERROR_BADDB)
            << opened;
        if (opened == ERROR_SUCCESS) {
            DWORD size = 0;
            RegQueryValueExW(key, u"Spaced", nullptr, nullptr, nullptr, &size);
            RegCloseKey(key);
        }
        broken += listed == ERROR_BADDB;
    }
    EXPECT_GT(broken, 0) << "some cuts fall inside a line";
    EXPECT_EQ(readFile(machineHive()), whole);
}

TEST_F(HiveFileTest, UnreadableHivePathIsReportedAndLeftAlone) {
    ASSERT_TRUE(std::filesystem::create_directory(machineHive()));
    WarningCapture warnings;
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Software", 0, KEY_READ, &key), ERROR_CANTREAD);
    EXPECT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"Software", 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_CANTREAD);
    EXPECT_EQ(warnings.messages(),
              QStringList{QStringLiteral("registry: %1: cannot read: not a regular file")
                              .arg(QString::fromStdString(machineHive()))});
    EXPECT_TRUE(std::filesystem::is_directory(machineHive()));
}

class EnvironmentGuard {
public:
    EnvironmentGuard() {
        for (const char* name : {"DORVO2_REGISTRY_DIR", "XDG_DATA_HOME", "HOME"}) {
            const char* value = std::getenv(name);
            m_saved.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
        }
    }
    ~EnvironmentGuard() {
        for (const auto& [name, value] : m_saved) {
            if (value)
                setenv(name.c_str(), value->c_str(), 1);
            else
                unsetenv(name.c_str());
        }
    }

private:
    std::vector<std::pair<std::string, std::optional<std::string>>> m_saved;
};

TEST_F(HiveFileTest, FolderComesFromTheEnvironmentAtEachCall) {
    EnvironmentGuard guard;
    const std::string deeper = m_folder + "/not/yet";
    setenv("DORVO2_REGISTRY_DIR", deeper.c_str(), 1);
    EXPECT_EQ(subkeyNames(HKEY_LOCAL_MACHINE), std::vector<std::string>{});
    EXPECT_FALSE(std::filesystem::exists(deeper)) << "reading makes nothing";
    RegCloseKey(createKey(HKEY_LOCAL_MACHINE, "Software\\One"));
    EXPECT_TRUE(std::filesystem::exists(deeper + "/machine.reg"));

    unsetenv("DORVO2_REGISTRY_DIR");
    setenv("XDG_DATA_HOME", (m_folder + "/data").c_str(), 1);
    EXPECT_EQ(subkeyNames(HKEY_LOCAL_MACHINE), std::vector<std::string>{});
    RegCloseKey(createKey(HKEY_CURRENT_USER, "Software\\Two"));
    EXPECT_TRUE(std::filesystem::exists(m_folder + "/data/dorvo2/registry/user.reg"));

    setenv("XDG_DATA_HOME", "relative/is/ignored", 1);
    setenv("HOME", (m_folder + "/home").c_str(), 1);
    RegCloseKey(createKey(HKEY_CURRENT_USER, "Software\\Three"));
    EXPECT_TRUE(std::filesystem::exists(m_folder + "/home/.local/share/dorvo2/registry/user.reg"));
}

} // namespace
