// The preferences store: where it is, the first-run migration from the earlier generation's
// machine-wide store, and the document folder written when the window goes.
#include "ApplicationWindow.h"
#include "PreferenceKeys.h"
#include "SetupDlg.h"
#include "TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <gtest/gtest.h>
#include <memory>

namespace {

const QString kAutoSync = "/preferences/PreferencesPage/auto_sync";
const QString kAutoSave = "/preferences/PreferencesPage/auto_save";

class PreferencesTest : public testing::Test {
protected:
    void SetUp() override {
        // A machine-wide folder of this test's own, empty until the test writes to it.
        systemDir = QString::fromStdString(dorvo2test::makeTempDir("system-settings"));
        QSettings::setPath(QSettings::NativeFormat, QSettings::SystemScope, systemDir);
        QSettings current(QSettings::NativeFormat, QSettings::UserScope, "QUENOR", "Dorvo2");
        current.clear();
        current.sync();
    }

    static std::unique_ptr<QSettings> legacyStore() {
        return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::SystemScope,
                                           Preferences::kLegacyOrganisation, "Quenor Dorvo");
    }
    static std::unique_ptr<QSettings> currentStore() {
        auto store = std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                                 "QUENOR", "Dorvo2");
        store->setFallbacksEnabled(false);
        return store;
    }

    QString systemDir;
};

TEST_F(PreferencesTest, NeitherStoreGivesBothFlagsOnAndWritesThem) {
    SetupDlg dialog;
    EXPECT_TRUE(dialog.autoSync());
    EXPECT_TRUE(dialog.autoSave());
    dialog.settings().sync();
    EXPECT_TRUE(QFile::exists(QDir::homePath() + "/.config/QUENOR/Dorvo2.conf"));
    auto store = currentStore();
    EXPECT_EQ(store->value(kAutoSync).toString(), "1");
    EXPECT_EQ(store->value(kAutoSave).toString(), "1");
    EXPECT_TRUE(store->value("/preferences/workspacePage/ids").isNull());
}

TEST_F(PreferencesTest, LegacyAutoSyncOffHoldsForThisRunOnlyAndItsListsMoveOver) {
    {
        auto legacy = legacyStore();
        legacy->setValue(kAutoSync, "0");
        legacy->setValue("/preferences/workspacePage/ids", QStringList{"{1}", "{2}"});
        legacy->setValue("/preferences/workspacePage/descriptors", QStringList{"Synth", "Pads"});
        legacy->setValue("/preferences/workspacePage/descriptors2", QStringList{"S1", "P1"});
        legacy->setValue("/preferences/midiPortsPage/InputPorts/ids", QStringList{"{a}"});
        legacy->setValue("/preferences/midiPortsPage/InputPorts/descriptors", QStringList{"In"});
        legacy->setValue("/preferences/midiPortsPage/OutputPorts/ids", QStringList{"{b}"});
        legacy->setValue("/preferences/midiPortsPage/OutputPorts/descriptors", QStringList{"Out"});
        legacy->setValue("/preferences/midiPortsPage/MIDIThru/ThruOn", "1");
    }
    {
        SetupDlg dialog;
        EXPECT_FALSE(dialog.autoSync());
        EXPECT_TRUE(dialog.autoSave());
    }
    auto store = currentStore();
    EXPECT_EQ(store->value(kAutoSync).toString(), "1");
    EXPECT_EQ(store->value(kAutoSave).toString(), "1");
    EXPECT_EQ(store->value("/preferences/workspacePage/descriptors").toStringList(),
              (QStringList{"Synth", "Pads"}));
    EXPECT_EQ(store->value("/preferences/workspacePage/descriptors2").toStringList(),
              (QStringList{"S1", "P1"}));
    EXPECT_EQ(store->value("/preferences/midiPortsPage/InputPorts/ids").toStringList(),
              QStringList{"{a}"});
    EXPECT_EQ(store->value("/preferences/midiPortsPage/OutputPorts/descriptors").toStringList(),
              QStringList{"Out"});
    EXPECT_FALSE(store->contains("/preferences/midiPortsPage/MIDIThru/ThruOn"));

    SetupDlg nextRun;
    EXPECT_TRUE(nextRun.autoSync());
}

TEST_F(PreferencesTest, ExistingCurrentGroupsAreNeverOverwrittenFromTheLegacyStore) {
    {
        auto legacy = legacyStore();
        legacy->setValue(kAutoSync, "1");
        legacy->setValue("/preferences/workspacePage/ids", QStringList{"{old}"});
        legacy->setValue("/preferences/midiPortsPage/InputPorts/ids", QStringList{"{old}"});
        auto store = currentStore();
        store->setValue(kAutoSync, "0");
        store->setValue(kAutoSave, "0");
        store->setValue("/preferences/workspacePage/ids", QStringList{});
        store->setValue("/preferences/midiPortsPage/OutputPorts/ids", QStringList{"{mine}"});
    }
    {
        SetupDlg dialog;
        EXPECT_FALSE(dialog.autoSync());
        EXPECT_FALSE(dialog.autoSave());
    }
    auto store = currentStore();
    EXPECT_EQ(store->value(kAutoSync).toString(), "0");
    EXPECT_TRUE(store->value("/preferences/workspacePage/ids").toStringList().isEmpty());
    EXPECT_FALSE(store->contains("/preferences/midiPortsPage/InputPorts/ids"));
    EXPECT_EQ(store->value("/preferences/midiPortsPage/OutputPorts/ids").toStringList(),
              QStringList{"{mine}"});
}

TEST_F(PreferencesTest, ExitWritesTheDirectoryOfTheDocumentNameAtThatTime) {
    {
        ApplicationWindow window;
        window.setDocumentName("/srv/music/first/One.XDW");
        window.setDocumentName("/srv/music/live sets/Two.XDW");
    }
    EXPECT_EQ(currentStore()->value("/preferences/PreferencesPage/defaultDir").toString(),
              "/srv/music/live sets");

    // The next new document starts there.
    ApplicationWindow window;
    window.yNewSession();
    EXPECT_TRUE(window.documentName().startsWith("/srv/music/live sets/Untitled "))
        << window.documentName().toStdString();
}

} // namespace
