// The setup dialog of the Workspace window: which components make up the Workspace, which of
// the machine's MIDI ports it uses and which carry MIDI Thru, and two preferences; the current
// choices can be kept as defaults and recalled. The dialog only collects choices: Apply signals
// the Workspace window, which takes them over.
//
// It also owns the program's one long-lived settings object: built with the window, it moves
// the earlier generation's preferences into the current store before anything else reads the
// store, and keeps the two preference bits.
#pragma once

#include "KeyPressEater.h"
#include "TVirtualMIDIPortAccessor.h"

#include <QDialog>
#include <QList>
#include <QSettings>
#include <QStringList>
#include <QUuid>
#include <memory>

class MidiPortsCheckListItem;
class QComboBox;
class QListWidget;
class QTreeWidget;
struct TCatalogueEntry;

namespace Ui {
class SetupDlg;
}

namespace dorvo {
// The window flags of the program's dialogs: a title bar with the system menu, a dialog border.
inline constexpr Qt::WindowFlags kDialogWindowFlags =
    Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint;
} // namespace dorvo

class SetupDlg : public QDialog {
    Q_OBJECT
public:
    // GUI thread, hidden and not modal.
    explicit SetupDlg(QWidget* parent = nullptr, Qt::WindowFlags flags = dorvo::kDialogWindowFlags);
    ~SetupDlg() override;

    // The current store, selected for the life of the dialog.
    QSettings& settings() { return m_settings; }

    // The Workspace list ("workspaceList"): one CListBoxVEXElement per wanted component.
    QListWidget* workspaceList() const;
    // "Device Editor": one entry per installed component, sorted by name.
    void fillDeviceEditorList(const QList<TCatalogueEntry>* catalogue);

    // "Automatically synchronize on file load".
    bool autoSync() const { return m_preferenceBits & kAutoSync; }
    // "Set Default": Apply also stores the Workspace list and port choice as defaults.
    bool autoSave() const { return m_preferenceBits & kAutoSave; }

    // The positions of the checked ports of a direction, in list order.
    QList<int> selectedPorts(int direction) const;
    TVirtualMIDIPortAccessor::Selection portSelection() const;
    // On = "MIDI Thru" checked; per direction the port number of the combo's choice: entry k > 0
    // is the k-th checked port, whose number is its position + 1; entry 0 is 0.
    TVirtualMIDIPortAccessor::ThruSettings thruSettings() const;

    void showWorkspacePage();
    void showMidiSettingsPage();
    // Apply is enabled until the next apply, OK or Cancel.
    void markPortsChanged();
    void resetChangedFlags();

public slots:
    void init();
    void left2Right();
    void removeFromRight();
    void recallDefaultWorkspace();
    void setDefaultWorkspace();
    void rebuildMIDIPorts(const int direction, QList<QUuid>& ids, QStringList& texts,
                          QList<int>& selected, int thruPort);
    // After the machine's ports were read again: keeps the user's choices that are not applied
    // yet. `selected` is filled; `thruPort` is not used, the dialog's own choice counts.
    void rebuildMIDIPorts_forUpdate(const int direction, QList<QUuid>& ids, QStringList& texts,
                                    QList<int>& selected, int thruPort);
    void setMIDIThruCheck(bool on);
    void midiPortChanged(MidiPortsCheckListItem* item);
    void recallDefaultMIDIPorts();
    void restoreDefaultMIDIPorts(const QString& group, QTreeWidget* view, QStringList& unavailable,
                                 QComboBox* combo);
    void setDefaultMIDIPorts();
    void storeDefaultMIDIPorts(const QString& group, QTreeWidget* view, QComboBox* combo);
    void prefsChanged();
    void workspaceChange();
    void buttonOk_clicked();
    void reject() override;
    void helpButton_clicked();
    void portRefresh();
    void editorListDoubleClicked();
    void wsListDoubleClicked();
    void midiThruChanged();
    void midiThruCheckToggled(bool on);
    void languageChange();

signals:
    void workspaceUpdate();
    void portSetupUpdate();
    void doHelp(QWidget* dialog);
    void showWarningMsg(QString& text);
    void doUpdatePortsList();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    static constexpr unsigned kAutoSync = 0x1;
    static constexpr unsigned kAutoSave = 0x2;

    // What the earlier generation's store holds; lists only when its group had any.
    struct LegacyPreferences {
        QString autoSync;
        bool hasWorkspace = false;
        QStringList workspaceIds, workspaceDescriptors, workspaceDescriptors2;
        bool hasPorts = false;
        QStringList inputIds, inputDescriptors, outputIds, outputDescriptors;
    };

    static LegacyPreferences readLegacyStore();
    void migrateSettings();
    void takePreferenceBits(const LegacyPreferences& legacy);
    void takeWorkspaceDefaults(const LegacyPreferences& legacy);
    void takePortDefaults(const LegacyPreferences& legacy);

    void connectForm();
    void connectPortViews();
    void showPreferenceBits();
    void storePreferences();
    void enableApply();

    // The port page, per direction.
    QTreeWidget* portsView(int direction) const;
    QComboBox* thruCombo(int direction) const;
    static QString portGroup(int direction);
    int directionOf(const QTreeWidget* view) const;
    static QList<MidiPortsCheckListItem*> portItems(const QTreeWidget* view);
    static QList<MidiPortsCheckListItem*> checkedItems(const QTreeWidget* view);
    // The checked item that the combo's entry stands for; null for entry 0.
    MidiPortsCheckListItem* thruItem(int direction) const;
    // The combo entry of the checked item with the id; 0 when there is none.
    int thruEntryOf(int direction, const QUuid& id) const;
    void setThruComboEmpty(QComboBox* combo, bool empty);

    std::unique_ptr<Ui::SetupDlg> m_ui;
    KeyPressEater m_keyPressEater;
    QSettings m_settings;
    unsigned m_preferenceBits = kAutoSync | kAutoSave;
    bool m_workspaceChanged = false;
    bool m_portsChanged = false;
    bool m_prefsChanged = false;
};
