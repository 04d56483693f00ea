// The machine-wide registry beneath each user's: what a package registers is seen by every
// user, never copied into a user's file, and cannot be taken away by one.
#include "RegistryFolder.h"
#include "RegistryTestSupport.h"

#include <cstdlib>

using namespace regtest;

namespace {

const std::string kPlugins = "Software\\Quenor\\Dorvo2\\Plugins";
const std::string kPackaged = "{11111111-2222-3333-4444-555555555555}";
const std::string kOwn = "{AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE}";

class MachineWideRegistryTest : public RegistryTest {
protected:
    void TearDown() override { dorvo::registry::setWritesSystemRegistry(false); }

    // What a package's installer does: registers a component for every user.
    void registerMachineWide() {
        ASSERT_EQ(DorvoRegUseMachineWideRegistry(), ERROR_SUCCESS);
        HKEY entry = createKey(HKEY_LOCAL_MACHINE, kPlugins + "\\" + kPackaged);
        setDword(entry, "DORVO2_KEY_TYPE", 1);
        setString(entry, "DORVO2_KEY_PLUGIN_NAME", "Packaged");
        RegCloseKey(entry);
        HKEY server = createKey(HKEY_CLASSES_ROOT, "CLSID\\" + kPackaged + "\\InprocServer32");
        setString(server, "", "/usr/lib/dorvo2/components/libpackaged.so");
        RegCloseKey(server);
        dorvo::registry::setWritesSystemRegistry(false);
    }
};

TEST_F(MachineWideRegistryTest, UsersSeeThePackagesKeysBeneathTheirOwn) {
    registerMachineWide();
    EXPECT_NE(readFile(m_systemFolder + "/machine.reg").find("libpackaged.so"), std::string::npos);

    // A user's own component and the packaged one, side by side in one enumeration.
    HKEY own = createKey(HKEY_LOCAL_MACHINE, kPlugins + "\\" + kOwn);
    setString(own, "DORVO2_KEY_PLUGIN_NAME", "Own");
    RegCloseKey(own);
    HKEY plugins = openKey(HKEY_LOCAL_MACHINE, kPlugins, KEY_READ);
    EXPECT_EQ(subkeyNames(plugins), (std::vector<std::string>{kPackaged, kOwn}));
    RegCloseKey(plugins);
    HKEY server = openKey(HKEY_CLASSES_ROOT, "CLSID\\" + kPackaged + "\\InprocServer32", KEY_READ);
    EXPECT_EQ(queryString(server, ""), "/usr/lib/dorvo2/components/libpackaged.so");
    RegCloseKey(server);

    // A user's change of a packaged key lands in the user's file and wins there; the
    // machine-wide file is left as the package wrote it.
    const std::string packagedFile = readFile(m_systemFolder + "/machine.reg");
    HKEY packaged = openKey(HKEY_LOCAL_MACHINE, kPlugins + "\\" + kPackaged);
    EXPECT_EQ(setString(packaged, "DORVO2_KEY_PLUGIN_NAME", "Renamed"), ERROR_SUCCESS);
    EXPECT_EQ(queryString(packaged, "DORVO2_KEY_PLUGIN_NAME"), "Renamed");
    EXPECT_EQ(queryDword(packaged, "DORVO2_KEY_TYPE"), DWORD(1)) << "the rest still shows";
    EXPECT_EQ(RegDeleteValueW(packaged, u"DORVO2_KEY_TYPE"), ERROR_FILE_NOT_FOUND);
    RegCloseKey(packaged);
    EXPECT_EQ(readFile(m_systemFolder + "/machine.reg"), packagedFile);
    const std::string userFile = readFile(machineHive());
    EXPECT_NE(userFile.find("Renamed"), std::string::npos);
    EXPECT_EQ(userFile.find("libpackaged.so"), std::string::npos) << "nothing is copied";

    // Unregistering as the user cannot remove the package's keys.
    EXPECT_EQ(deleteTree(HKEY_CLASSES_ROOT, wide("CLSID\\" + kPackaged)), ERROR_ACCESS_DENIED);
    server = openKey(HKEY_CLASSES_ROOT, "CLSID\\" + kPackaged + "\\InprocServer32", KEY_READ);
    EXPECT_NE(server, nullptr);
    RegCloseKey(server);

    // Removing the package takes its keys away from every user; the user's own stay.
    std::remove((m_systemFolder + "/machine.reg").c_str());
    plugins = openKey(HKEY_LOCAL_MACHINE, kPlugins, KEY_READ);
    EXPECT_EQ(subkeyNames(plugins), (std::vector<std::string>{kPackaged, kOwn}))
        << "the user's renamed entry is the user's own now";
    RegCloseKey(plugins);
    HKEY gone = nullptr;
    EXPECT_EQ(
        RegOpenKeyExW(HKEY_CLASSES_ROOT, wide("CLSID\\" + kPackaged).c_str(), 0, KEY_READ, &gone),
        ERROR_FILE_NOT_FOUND);
}

TEST_F(MachineWideRegistryTest, ADamagedMachineWideRegistryIsReportedAndReadAsEmpty) {
    HKEY own = createKey(HKEY_LOCAL_MACHINE, kPlugins + "\\" + kOwn);
    RegCloseKey(own);
    writeFile(m_systemFolder + "/machine.reg", "this is not a hive\n");
    WarningCapture warnings;
    HKEY plugins = openKey(HKEY_LOCAL_MACHINE, kPlugins, KEY_READ);
    EXPECT_EQ(subkeyNames(plugins), std::vector<std::string>{kOwn});
    RegCloseKey(plugins);
    ASSERT_FALSE(warnings.messages().isEmpty());
    EXPECT_TRUE(warnings.messages().first().contains(QString::fromStdString(m_systemFolder)))
        << warnings.messages().first().toStdString();
    EXPECT_EQ(readFile(m_systemFolder + "/machine.reg"), "this is not a hive\n");
}

TEST_F(MachineWideRegistryTest, AnInstallationWithoutOneRefusesToWriteIt) {
    // The test's own binary is not an installed platform library.
    unsetenv("DORVO2_SYSTEM_REGISTRY_DIR");
    EXPECT_TRUE(dorvo::registry::systemRegistryFolder().empty());
    EXPECT_EQ(DorvoRegUseMachineWideRegistry(), ERROR_FILE_NOT_FOUND);
    HKEY key = createKey(HKEY_LOCAL_MACHINE, kPlugins);
    RegCloseKey(key);
    EXPECT_NE(readFile(machineHive()).find("Plugins"), std::string::npos);
}

} // namespace
