// The setup dialog on its own: adding and removing Workspace entries, the Thru combos as ports
// are checked, defaults stored and recalled, Apply, OK and Cancel.
#include "CListBoxVEXElement.h"
#include "MidiPortsCheckListItem.h"
#include "PreferenceKeys.h"
#include "SetupDlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeWidget>
#include <gtest/gtest.h>

namespace {

constexpr int kIn = TMIDIPortAccessor::kInput;
constexpr int kOut = TMIDIPortAccessor::kOutput;

TCatalogueEntry catalogueEntry(const QString& name) {
    TCatalogueEntry entry;
    entry.kind = 0x2;
    entry.name = name;
    const QUuid id = QUuid::createUuid();
    entry.classId = {id.data1, id.data2, id.data3, {}};
    std::copy(std::begin(id.data4), std::end(id.data4), entry.classId.Data4);
    return entry;
}

QString classIdText(const TCatalogueEntry& entry) {
    const CLSID& c = entry.classId;
    return QUuid(c.Data1, c.Data2, c.Data3, c.Data4[0], c.Data4[1], c.Data4[2], c.Data4[3],
                 c.Data4[4], c.Data4[5], c.Data4[6], c.Data4[7])
        .toString();
}

QStringList texts(const QListWidget* list) {
    QStringList all;
    for (int row = 0; row < list->count(); ++row)
        all << list->item(row)->text();
    return all;
}

QStringList texts(const QComboBox* combo) {
    QStringList all;
    for (int i = 0; i < combo->count(); ++i)
        all << combo->itemText(i);
    return all;
}

QString key(const QString& name) {
    return Preferences::kMidiPortsPage + name;
}

class SetupDialogTest : public testing::Test {
protected:
    void SetUp() override {
        QSettings(QSettings::NativeFormat, QSettings::UserScope, Preferences::kOrganisation,
                  Preferences::kProduct)
            .clear();
        dialog = std::make_unique<SetupDlg>();
        QObject::connect(dialog.get(), &SetupDlg::showWarningMsg,
                         [this](QString& text) { warnings << text; });
        QObject::connect(dialog.get(), &SetupDlg::portSetupUpdate,
                         [this] { emitted << QStringLiteral("ports"); });
        QObject::connect(dialog.get(), &SetupDlg::workspaceUpdate,
                         [this] { emitted << QStringLiteral("workspace"); });
    }
    template <class T> T* child(const char* name) {
        T* found = dialog->findChild<T*>(QString::fromLatin1(name));
        EXPECT_TRUE(found) << name;
        return found;
    }
    QPushButton* button(const char* name) { return child<QPushButton>(name); }
    bool applyEnabled() { return button("buttonApply")->isEnabled(); }

    // Ports of one direction with these texts and checked positions.
    QList<QUuid> showPorts(int direction, QStringList portTexts, QList<int> selected,
                           int thruPort = 0) {
        QList<QUuid> ids;
        for (qsizetype i = 0; i < portTexts.size(); ++i)
            ids << QUuid::createUuid();
        dialog->rebuildMIDIPorts(direction, ids, portTexts, selected, thruPort);
        return ids;
    }
    MidiPortsCheckListItem* port(const char* view, int row) {
        return MidiPortsCheckListItem::from(child<QTreeWidget>(view)->topLevelItem(row));
    }

    std::unique_ptr<SetupDlg> dialog;
    QStringList warnings, emitted;
};

TEST_F(SetupDialogTest, AddingGivesUniqueNamesAndRemovingTakesTheSelected) {
    const QList<TCatalogueEntry> catalogue = {catalogueEntry("Synth"), catalogueEntry("Mixer")};
    dialog->fillDeviceEditorList(&catalogue);
    auto* available = child<QListWidget>("deviceEditorList");
    QListWidget* workspace = dialog->workspaceList();
    EXPECT_EQ(texts(available), (QStringList{"Mixer", "Synth"}));
    EXPECT_FALSE(applyEnabled());

    available->item(1)->setSelected(true);
    for (int i = 0; i < 3; ++i)
        button("addButton")->click();
    EXPECT_EQ(texts(workspace), (QStringList{"Synth", "Synth 2", "Synth 3"}));
    EXPECT_TRUE(applyEnabled());
    EXPECT_EQ(classIdText(CListBoxVEXElement::from(workspace->item(2))->entry()),
              classIdText(catalogue[0]));
    // Several at once, in list order; a double click adds like the button.
    available->item(0)->setSelected(true);
    dialog->editorListDoubleClicked();
    EXPECT_EQ(texts(workspace), (QStringList{"Synth", "Synth 2", "Synth 3", "Mixer", "Synth 4"}));

    workspace->item(1)->setSelected(true);
    workspace->item(3)->setSelected(true);
    dialog->wsListDoubleClicked();
    EXPECT_EQ(texts(workspace), (QStringList{"Synth", "Synth 3", "Synth 4"}));
    // A freed name is taken again; names differing in case are other names.
    available->item(0)->setSelected(false);
    workspace->item(0)->setText(QStringLiteral("synth"));
    button("addButton")->click();
    EXPECT_EQ(texts(workspace), (QStringList{"synth", "Synth 3", "Synth 4", "Synth"}));

    button("buttonApply")->click();
    EXPECT_EQ(emitted, QStringList{"workspace"});
    EXPECT_FALSE(applyEnabled());
}

TEST_F(SetupDialogTest, ThruCombosOfferTheCheckedPorts) {
    auto* group = child<QGroupBox>("midiThruGroup");
    auto* inCombo = child<QComboBox>("thruInPortCombo");
    auto* outCombo = child<QComboBox>("thruOutPortCombo");
    showPorts(kIn, {"Port A", "Port B [Synth]", "Port C"}, {0, 2}, 3);
    showPorts(kOut, {"Out A"}, {});
    EXPECT_EQ(texts(inCombo), (QStringList{"- Not Assigned -", "Port A", "Port C"}));
    EXPECT_EQ(inCombo->currentText(), "Port C");
    EXPECT_EQ(texts(outCombo), QStringList{"- No Port Selected -"});
    EXPECT_FALSE(inCombo->isEnabled()) << "Thru is off";

    dialog->setMIDIThruCheck(true);
    EXPECT_TRUE(group->isChecked());
    EXPECT_TRUE(inCombo->isEnabled());
    EXPECT_FALSE(outCombo->isEnabled());
    EXPECT_FALSE(applyEnabled()) << "the Workspace's own state is no change";
    EXPECT_EQ(dialog->thruSettings().inputPort, 3);
    EXPECT_EQ(dialog->thruSettings().outputPort, 0);

    port("inputPortsView", 1)->setOn(true);
    EXPECT_EQ(texts(inCombo),
              (QStringList{"- Not Assigned -", "Port A", "Port B [Synth]", "Port C"}));
    EXPECT_EQ(inCombo->currentText(), "Port C");
    EXPECT_TRUE(applyEnabled());
    EXPECT_EQ(dialog->selectedPorts(kIn), (QList<int>{0, 1, 2}));
    // Unchecking the Thru choice leaves Thru without a port.
    port("inputPortsView", 2)->setOn(false);
    EXPECT_EQ(inCombo->currentIndex(), 0);
    EXPECT_EQ(inCombo->currentText(), "- Not Assigned -");
    inCombo->setCurrentIndex(2);
    EXPECT_EQ(dialog->thruSettings().inputPort, 2);
    port("inputPortsView", 0)->setOn(false);
    EXPECT_EQ(inCombo->currentText(), "Port B [Synth]") << "an entry above the choice went";
    port("inputPortsView", 1)->activate();
    EXPECT_EQ(texts(inCombo), QStringList{"- No Port Selected -"});
    EXPECT_FALSE(inCombo->isEnabled());
    EXPECT_EQ(dialog->thruSettings().inputPort, 0);

    // Switching Thru off and on: only a combo with ports comes back.
    port("outputPortsView", 0)->setOn(true);
    EXPECT_EQ(texts(outCombo), (QStringList{"- Not Assigned -", "Out A"}));
    group->setChecked(false);
    EXPECT_FALSE(outCombo->isEnabled());
    group->setChecked(true);
    EXPECT_TRUE(outCombo->isEnabled());
    EXPECT_FALSE(inCombo->isEnabled());
    EXPECT_TRUE(dialog->thruSettings().on);
}

TEST_F(SetupDialogTest, DefaultPortsAreKeptByIdAndMissingOnesNamed) {
    const QList<QUuid> in = showPorts(kIn, {"Port A [Synth]", "Port B"}, {0}, 1);
    const QList<QUuid> out = showPorts(kOut, {"Out A", "Out B"}, {0, 1}, 2);
    dialog->setMIDIThruCheck(true);
    dialog->setDefaultMIDIPorts();
    QSettings& settings = dialog->settings();
    EXPECT_EQ(settings.value(key("InputPorts/ids")).toStringList(), QStringList{in[0].toString()});
    EXPECT_EQ(settings.value(key("InputPorts/descriptors")).toStringList(), QStringList{"Port A"});
    EXPECT_EQ(settings.value(key("MIDIThru/InputPorts/ids")).toString(), in[0].toString());
    EXPECT_EQ(settings.value(key("MIDIThru/OutputPorts/descriptors")).toString(), "Out B");
    EXPECT_EQ(settings.value(key("MIDIThru/ThruOn")).toString(), "1");

    // The same ports in another order, nothing checked, Thru off; and a default port of each
    // direction that this machine does not have.
    QList<QUuid> inIds{in[1], in[0]}, outIds{out[1], out[0]};
    QStringList inTexts{"Port B", "Port A"}, outTexts{"Out B", "Out A"};
    QList<int> none;
    dialog->rebuildMIDIPorts(kIn, inIds, inTexts, none, 0);
    dialog->rebuildMIDIPorts(kOut, outIds, outTexts, none, 0);
    dialog->setMIDIThruCheck(false);
    settings.setValue(key("InputPorts/ids"),
                      QStringList{QUuid::createUuid().toString(), in[0].toString()});
    settings.setValue(key("InputPorts/descriptors"), QStringList{"Gone In", "Port A"});
    settings.setValue(key("OutputPorts/ids"), settings.value(key("OutputPorts/ids")).toStringList()
                                                  << QUuid::createUuid().toString());
    settings.setValue(key("OutputPorts/descriptors"), QStringList{"Out A", "Out B", "Gone Out"});

    dialog->recallDefaultMIDIPorts();
    EXPECT_EQ(warnings, QStringList{"Following MIDI ports are unavailable.\nInput:\nGone In"
                                    "\nOutput:\nGone Out"});
    EXPECT_EQ(dialog->selectedPorts(kIn), QList<int>{1});
    EXPECT_EQ(dialog->selectedPorts(kOut), (QList<int>{0, 1}));
    EXPECT_EQ(child<QComboBox>("thruInPortCombo")->currentText(), "Port A");
    EXPECT_EQ(child<QComboBox>("thruOutPortCombo")->currentText(), "Out B");
    EXPECT_TRUE(child<QGroupBox>("midiThruGroup")->isChecked());
    EXPECT_EQ(dialog->thruSettings().outputPort, 1);

    // Only the direction with missing ports is named.
    settings.setValue(key("OutputPorts/ids"), QStringList{});
    settings.setValue(key("OutputPorts/descriptors"), QStringList{});
    dialog->recallDefaultMIDIPorts();
    EXPECT_EQ(warnings.last(), "Following MIDI ports are unavailable.\nInput:\nGone In");
    EXPECT_TRUE(dialog->selectedPorts(kOut).isEmpty());
}

TEST_F(SetupDialogTest, ApplyStoresBothDefaultsAndCancelPutsPreferencesBack) {
    const QList<TCatalogueEntry> catalogue = {catalogueEntry("Synth"), catalogueEntry("Mixer")};
    dialog->fillDeviceEditorList(&catalogue);
    auto* available = child<QListWidget>("deviceEditorList");
    auto* setDefault = child<QCheckBox>("autoSaveCheckBox");
    auto* autoSync = child<QCheckBox>("autoSyncCheckBox");
    ASSERT_TRUE(setDefault->isChecked()) << "on in a fresh store";
    QSettings& settings = dialog->settings();
    const QList<QUuid> in = showPorts(kIn, {"Port A", "Port B"}, {});

    // One Apply: the ports first, then the Workspace, and both are the defaults now.
    available->item(1)->setSelected(true);
    button("addButton")->click();
    port("inputPortsView", 1)->setOn(true);
    button("buttonApply")->click();
    EXPECT_EQ(emitted, (QStringList{"ports", "workspace"}));
    EXPECT_EQ(settings.value(Preferences::kWorkspacePage + "ids").toStringList(),
              QStringList{classIdText(catalogue[0])});
    EXPECT_EQ(settings.value(Preferences::kWorkspacePage + "descriptors").toStringList(),
              QStringList{"Synth"});
    EXPECT_EQ(settings.value(Preferences::kWorkspacePage + "descriptors2").toStringList(),
              QStringList{"Synth"});
    EXPECT_EQ(settings.value(key("InputPorts/ids")).toStringList(), QStringList{in[1].toString()});

    // Cancel puts the stored preference back.
    setDefault->setChecked(false);
    EXPECT_TRUE(applyEnabled());
    dialog->show();
    button("buttonCancel")->click();
    EXPECT_TRUE(setDefault->isChecked());
    EXPECT_FALSE(applyEnabled());
    EXPECT_FALSE(dialog->isVisible());

    // Without "Set Default", Apply leaves the defaults alone; OK applies and closes.
    setDefault->setChecked(false);
    autoSync->setChecked(false);
    dialog->workspaceList()->item(0)->setText("Lead");
    button("buttonApply")->click();
    EXPECT_EQ(settings.value(Preferences::kPreferencesPage + "auto_save").toString(), "0");
    EXPECT_EQ(settings.value(Preferences::kPreferencesPage + "auto_sync").toString(), "0");
    EXPECT_FALSE(dialog->autoSync());
    available->item(0)->setSelected(true);
    dialog->show();
    button("addButton")->click();
    button("buttonOk")->click();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(settings.value(Preferences::kWorkspacePage + "descriptors").toStringList(),
              QStringList{"Synth"});

    // Recalling the default Workspace: a type that is not installed is named with its type.
    settings.setValue(Preferences::kWorkspacePage + "ids",
                      QStringList{classIdText(catalogue[0]), QUuid::createUuid().toString(),
                                  QUuid::createUuid().toString()});
    settings.setValue(Preferences::kWorkspacePage + "descriptors",
                      QStringList{"Lead", "Old Synth", "Drums"});
    settings.setValue(Preferences::kWorkspacePage + "descriptors2",
                      QStringList{"Synth", "Vintage", "Drums"});
    dialog->recallDefaultWorkspace();
    EXPECT_EQ(texts(dialog->workspaceList()), QStringList{"Lead"});
    EXPECT_EQ(warnings,
              QStringList{"Following components are not installed.\nOld Synth (Vintage)\nDrums"});
}

} // namespace
