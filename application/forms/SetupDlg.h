// The setup dialog of the Workspace window. It owns the program's one long-lived settings
// object: built with the window, it moves the earlier generation's preferences into the current
// store before anything else reads the store, and keeps the two preference bits.
#pragma once

#include <QDialog>
#include <QSettings>
#include <QStringList>

class QListWidget;

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
    QListWidget* workspaceList() const { return m_workspaceList; }

    // "Automatically synchronize on file load".
    bool autoSync() const { return m_preferenceBits & kAutoSync; }
    // "Set Default": Apply also stores the Workspace list and port choice as defaults.
    bool autoSave() const { return m_preferenceBits & kAutoSave; }

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

    QSettings m_settings;
    QListWidget* m_workspaceList = nullptr;
    unsigned m_preferenceBits = kAutoSync | kAutoSave;
};
