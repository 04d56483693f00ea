// The setup dialog with its Workspace window on the virtual MIDI devices: a new Workspace from
// the defaults, applying ports and MIDI Thru from the dialog, the tool bar's channel box, ports
// that cannot be opened, and "Update Ports" while choices are not applied yet.
#include "ApplicationWindow.h"
#include "ClientIUnknown.h"
#include "HostingTestSupport.h"
#include "MidiPortsCheckListItem.h"
#include "PortServiceTestObjects.h"
#include "PreferenceKeys.h"
#include "SetupDlg.h"
#include "ShellTestSupport.h"
#include "TVirtualMIDIPortAccessor.h"
#include "TWorkspaceMenus.h"

#include <QComboBox>
#include <QDockWidget>
#include <QFileInfo>
#include <QGroupBox>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTreeWidget>
#include <gtest/gtest.h>

using namespace dorvo2test;

namespace {

constexpr int kIn = TMIDIPortAccessor::kInput;
constexpr int kOut = TMIDIPortAccessor::kOutput;
const std::string kLoopback4 = "Dorvo Loopback 4";
const std::string kLoopback5 = "Dorvo Loopback 5";

QString key(const QString& name) {
    return Preferences::kMidiPortsPage + name;
}

class SetupWindowTest : public testing::Test {
protected:
    static void SetUpTestSuite() { useVirtualDevices(); }
    void SetUp() override {
        ASSERT_TRUE(hostingtest::registerRecordingComponent());
        control.apply();
        settings().clear();
        vm::reset();
        vm::addLoopback(kLoopback3);
    }
    void TearDown() override {
        window.reset();
        vm::reset();
    }
    static QSettings& settings() {
        static QSettings store(QSettings::NativeFormat, QSettings::UserScope,
                               Preferences::kOrganisation, Preferences::kProduct);
        store.sync();
        return store;
    }
    // The id the machine's ports get for a device, whether or not it is there now.
    static QString idOf(int direction, const std::string& device) {
        TWinMIDIPortAccessor machine;
        QList<QUuid> ids;
        machine.portIds(direction, ids);
        for (const QUuid& id : std::as_const(ids)) {
            if (machine.portName(id) == QString::fromStdString(device))
                return id.toString();
        }
        return QString();
    }
    void defaultPorts(int direction, const std::vector<std::string>& devices) {
        QStringList ids, names;
        for (const std::string& device : devices) {
            ids << idOf(direction, device);
            names << QString::fromStdString(device);
        }
        const QString group = direction == kIn ? "InputPorts/" : "OutputPorts/";
        settings().setValue(key(group + "ids"), ids);
        settings().setValue(key(group + "descriptors"), names);
        settings().sync();
    }
    void defaultWorkspace(const QStringList& names) {
        const CLSID& c = hostingtest::recordingEntry().classId;
        const QString id = QUuid(c.Data1, c.Data2, c.Data3, c.Data4[0], c.Data4[1], c.Data4[2],
                                 c.Data4[3], c.Data4[4], c.Data4[5], c.Data4[6], c.Data4[7])
                               .toString();
        settings().setValue(Preferences::kWorkspacePage + "ids", QStringList(names.size(), id));
        settings().setValue(Preferences::kWorkspacePage + "descriptors", names);
        settings().sync();
    }

    SetupDlg* dialog() { return window->setupDialog(); }
    template <class T> T* child(const char* name) {
        T* found = dialog()->findChild<T*>(QString::fromLatin1(name));
        EXPECT_TRUE(found) << name;
        return found;
    }
    QWidget* currentPage() { return child<QTabWidget>("setupTab")->currentWidget(); }
    bool applyEnabled() { return child<QPushButton>("buttonApply")->isEnabled(); }
    MidiPortsCheckListItem* item(int direction, const std::string& device) {
        auto* view = child<QTreeWidget>(direction == kIn ? "inputPortsView" : "outputPortsView");
        for (int row = 0; row < view->topLevelItemCount(); ++row) {
            auto* port = MidiPortsCheckListItem::from(view->topLevelItem(row));
            if (port && port->text(0).startsWith(QString::fromStdString(device)))
                return port;
        }
        return nullptr;
    }
    QStringList checked(int direction) {
        QStringList names;
        auto* view = child<QTreeWidget>(direction == kIn ? "inputPortsView" : "outputPortsView");
        for (int row = 0; row < view->topLevelItemCount(); ++row) {
            auto* port = MidiPortsCheckListItem::from(view->topLevelItem(row));
            if (port && port->isOn())
                names << port->text(0);
        }
        return names;
    }
    bool isOpen(int direction, const std::string& device) {
        TVirtualMIDIPortAccessor* ports = window->portAccessor();
        const int index = int(ports->systemIds(direction).indexOf(QUuid(idOf(direction, device))));
        return window->hostObject()->isPortOpen(direction == kOut,
                                                ports->devicePort(direction, index));
    }
    void chooseThru(const char* combo, const QString& text) {
        auto* box = child<QComboBox>(combo);
        box->setCurrentIndex(box->findText(text));
        emit box->activated(box->currentIndex());
    }

    hostingtest::RecordingControl control;
    MessageRecorder messages;
    std::unique_ptr<ApplicationWindow> window;
};

TEST_F(SetupWindowTest, ANewWorkspaceComesFromTheDefaultsWithoutTheDialog) {
    defaultWorkspace({"Synth", "Synth 2"});
    defaultPorts(kIn, {kLoopback1});
    defaultPorts(kOut, {kLoopback3});
    window = std::make_unique<ApplicationWindow>();
    window->yNewSession();
    EXPECT_FALSE(dialog()->isVisible());
    ASSERT_EQ(window->components().size(), 2);
    EXPECT_TRUE(isOpen(kIn, kLoopback1));
    EXPECT_TRUE(isOpen(kOut, kLoopback3));
    EXPECT_FALSE(isOpen(kOut, kLoopback1));
    EXPECT_FALSE(window->isModified());
    EXPECT_TRUE(messages.requests.isEmpty()) << messages.texts().join('|').toStdString();

    // Opening it later shows what the Workspace uses.
    window->doSetup();
    EXPECT_TRUE(dialog()->isVisible());
    EXPECT_TRUE(dialog()->isModal());
    EXPECT_EQ(dialog()->windowTitle(), "Setup for " + QFileInfo(window->documentName()).fileName());
    EXPECT_EQ(checked(kOut), QStringList{"Dorvo Loopback 3"});
    EXPECT_EQ(dialog()->workspaceList()->count(), 2);
    EXPECT_FALSE(applyEnabled());
    child<QPushButton>("buttonCancel")->click();
    // "Modify Workspace..." opens it on the Workspace page.
    child<QTabWidget>("setupTab")->setCurrentIndex(2);
    QMenu* menu = TWorkspaceMenus(*window).createSpaceMenu(window.get());
    TWorkspaceMenus(*window).actOnSpaceMenu(menu->actions().first());
    EXPECT_TRUE(dialog()->isVisible());
    EXPECT_EQ(currentPage()->objectName(), "workspacePage");
    delete menu;
}

TEST_F(SetupWindowTest, ANewWorkspaceWithoutDefaultsOpensTheWorkspacePage) {
    window = std::make_unique<ApplicationWindow>();
    child<QTabWidget>("setupTab")->setCurrentIndex(1);
    window->yNewSession();
    EXPECT_TRUE(dialog()->isVisible());
    EXPECT_EQ(currentPage()->objectName(), "workspacePage");
    EXPECT_FALSE(applyEnabled());
    EXPECT_GE(child<QListWidget>("deviceEditorList")->count(), 1) << "the installed components";
    EXPECT_TRUE(window->components().isEmpty());
}

TEST_F(SetupWindowTest, PortsThatCannotBeOpenedBringTheDialogBackOnMidiSettings) {
    defaultWorkspace({"Synth"});
    defaultPorts(kOut, {kLoopback1, kLoopback3});
    window = std::make_unique<ApplicationWindow>();
    vm::removeDevice(kLoopback3); // listed, but gone
    window->yNewSession();
    EXPECT_EQ(messages.texts(), QStringList{"Following MIDI ports can not be opened at this time."
                                            "\nOutput:\nDorvo Loopback 3"});
    EXPECT_EQ(window->components().size(), 1);
    EXPECT_TRUE(isOpen(kOut, kLoopback1));
    EXPECT_TRUE(dialog()->isVisible());
    EXPECT_EQ(currentPage()->objectName(), "midiSettingsPage");
    EXPECT_TRUE(applyEnabled());
    EXPECT_FALSE(window->isModified());

    // The device is back: Apply of the same choice opens it, and the next opening of the
    // dialog is a normal one.
    vm::addLoopback(kLoopback3);
    child<QPushButton>("buttonOk")->click();
    EXPECT_EQ(messages.requests.size(), 1);
    EXPECT_TRUE(isOpen(kOut, kLoopback3));
    window->doSetup();
    EXPECT_FALSE(applyEnabled());
}

TEST_F(SetupWindowTest, ApplyingOpensThePortsAndRunsThruOnTheToolBarsChannel) {
    window = std::make_unique<ApplicationWindow>();
    window->yNewSession();
    ASSERT_TRUE(dialog()->isVisible());
    item(kIn, kLoopback1)->setOn(true);
    item(kOut, kLoopback2)->setOn(true);
    child<QGroupBox>("midiThruGroup")->setChecked(true);
    chooseThru("thruInPortCombo", "Dorvo Loopback 1");
    chooseThru("thruOutPortCombo", "Dorvo Loopback 2");
    window->thruChannelBox()->setValue(10);
    child<QPushButton>("buttonApply")->click();
    EXPECT_TRUE(isOpen(kIn, kLoopback1));
    EXPECT_TRUE(isOpen(kOut, kLoopback2));
    EXPECT_TRUE(window->isModified());
    EXPECT_FALSE(window->thruToolBar()->isHidden());

    // The route just made got the channel box's value: channel 3 leaves on channel 10.
    vm::clearSent(kLoopback2);
    vm::inject(kLoopback1, {0x92, 0x3C, 0x64});
    EXPECT_EQ(sentBytes(kLoopback2, 1), (std::vector<Bytes>{{0x99, 0x3C, 0x64}}));
    window->thruChannelBox()->setValue(0); // "Original"
    vm::clearSent(kLoopback2);
    vm::inject(kLoopback1, {0x92, 0x3C, 0x64});
    EXPECT_EQ(sentBytes(kLoopback2, 1), (std::vector<Bytes>{{0x92, 0x3C, 0x64}}));

    // Thru off hides the tool bar and keeps the ports; the document is not changed by it.
    window->setModified(false);
    child<QGroupBox>("midiThruGroup")->setChecked(false);
    child<QPushButton>("buttonOk")->click();
    EXPECT_TRUE(window->thruToolBar()->isHidden());
    EXPECT_FALSE(window->portAccessor()->thruSettings().on);
    EXPECT_TRUE(isOpen(kIn, kLoopback1));
    EXPECT_FALSE(window->isModified());
    EXPECT_TRUE(messages.requests.isEmpty());
}

TEST_F(SetupWindowTest, UpdatePortsKeepsUnappliedChoicesAndChecksNewDefaultPorts) {
    // Loopback 4 has been seen before and is a default port; Loopback 5 is new and is not.
    vm::addLoopback(kLoopback4);
    const QString loopback4 = idOf(kIn, kLoopback4);
    defaultPorts(kIn, {kLoopback4});
    vm::removeDevice(kLoopback4);
    settings().setValue(key("MIDIThru/InputPorts/ids"), loopback4);
    window = std::make_unique<ApplicationWindow>();
    window->yNewSession();
    ASSERT_TRUE(dialog()->isVisible());
    EXPECT_EQ(messages.texts(),
              QStringList{"Following MIDI ports are unavailable.\nInput:\nDorvo Loopback 4"});

    item(kIn, kLoopback2)->setOn(true);
    item(kIn, kLoopback3)->setOn(true);
    child<QGroupBox>("midiThruGroup")->setChecked(true);
    chooseThru("thruInPortCombo", "Dorvo Loopback 3");
    vm::removeDevice(kLoopback2);
    vm::addLoopback(kLoopback4);
    vm::addLoopback(kLoopback5);
    child<QPushButton>("refreshButton")->click();

    EXPECT_EQ(checked(kIn), (QStringList{"Dorvo Loopback 3", "Dorvo Loopback 4"}));
    EXPECT_NE(item(kIn, kLoopback5), nullptr);
    EXPECT_EQ(item(kIn, kLoopback2), nullptr);
    EXPECT_EQ(child<QComboBox>("thruInPortCombo")->currentText(), "Dorvo Loopback 3");
    EXPECT_TRUE(child<QGroupBox>("midiThruGroup")->isChecked());
    EXPECT_TRUE(applyEnabled());
    EXPECT_FALSE(isOpen(kIn, kLoopback3)) << "not applied yet";

    // Without a Thru choice the default Thru port is taken, once it is checked.
    chooseThru("thruInPortCombo", "- Not Assigned -");
    child<QPushButton>("refreshButton")->click();
    EXPECT_EQ(child<QComboBox>("thruInPortCombo")->currentText(), "Dorvo Loopback 4");
    child<QPushButton>("buttonApply")->click();
    EXPECT_TRUE(isOpen(kIn, kLoopback4));
    EXPECT_EQ(window->portAccessor()->thruSettings().inputPort,
              window->portAccessor()->systemIds(kIn).indexOf(QUuid(loopback4)) + 1);
}

} // namespace
