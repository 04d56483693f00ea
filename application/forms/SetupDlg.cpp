#include "SetupDlg.h"

#include "PreferenceKeys.h"

#include <QListWidget>
#include <QVBoxLayout>

namespace {

const QString kAutoSyncKey = Preferences::kPreferencesPage + QStringLiteral("auto_sync");
const QString kAutoSaveKey = Preferences::kPreferencesPage + QStringLiteral("auto_save");
const QString kOn = QStringLiteral("1");

bool groupHasEntries(QSettings& settings, const QString& group) {
    settings.beginGroup(group);
    const bool has = !settings.childKeys().isEmpty();
    settings.endGroup();
    return has;
}

bool groupHasSubkeys(QSettings& settings, const QString& group) {
    settings.beginGroup(group);
    const bool has = !settings.childGroups().isEmpty();
    settings.endGroup();
    return has;
}

QStringList readList(QSettings& settings, const QString& key) {
    return settings.value(key).toStringList();
}

bool readFlag(QSettings& settings, const QString& key) {
    return settings.value(key, kOn).toString().toInt() != 0;
}

} // namespace

SetupDlg::SetupDlg(QWidget* parent, Qt::WindowFlags flags)
    : QDialog(parent, flags), m_settings(QSettings::NativeFormat, QSettings::UserScope,
                                         Preferences::kOrganisation, Preferences::kProduct) {
    setObjectName(QStringLiteral("SetupDlg"));
    setWindowTitle(tr("Setup"));
    // Only this user's store is ours; a machine-wide file of the same name must not leak in.
    m_settings.setFallbacksEnabled(false);
    migrateSettings();
    auto* layout = new QVBoxLayout(this);
    m_workspaceList = new QListWidget(this);
    m_workspaceList->setObjectName(QStringLiteral("workspaceList"));
    layout->addWidget(m_workspaceList);
}

SetupDlg::~SetupDlg() = default;

void SetupDlg::migrateSettings() {
    const LegacyPreferences legacy = readLegacyStore();
    takePreferenceBits(legacy);
    takeWorkspaceDefaults(legacy);
    takePortDefaults(legacy);
}

SetupDlg::LegacyPreferences SetupDlg::readLegacyStore() {
    QSettings store(QSettings::NativeFormat, QSettings::SystemScope,
                    Preferences::kLegacyOrganisation, Preferences::kLegacyProduct);
    LegacyPreferences legacy;
    legacy.autoSync = store.value(kAutoSyncKey, kOn).toString();
    const QString& workspace = Preferences::kWorkspacePage;
    legacy.hasWorkspace = groupHasEntries(store, workspace);
    if (legacy.hasWorkspace) {
        legacy.workspaceIds = readList(store, workspace + QStringLiteral("ids"));
        legacy.workspaceDescriptors = readList(store, workspace + QStringLiteral("descriptors"));
        legacy.workspaceDescriptors2 = readList(store, workspace + QStringLiteral("descriptors2"));
    }
    const QString& ports = Preferences::kMidiPortsPage;
    legacy.hasPorts = groupHasSubkeys(store, ports);
    if (legacy.hasPorts) {
        legacy.inputIds = readList(store, ports + QStringLiteral("InputPorts/ids"));
        legacy.inputDescriptors = readList(store, ports + QStringLiteral("InputPorts/descriptors"));
        legacy.outputIds = readList(store, ports + QStringLiteral("OutputPorts/ids"));
        legacy.outputDescriptors =
            readList(store, ports + QStringLiteral("OutputPorts/descriptors"));
    }
    return legacy;
}

void SetupDlg::takePreferenceBits(const LegacyPreferences& legacy) {
    if (groupHasEntries(m_settings, Preferences::kPreferencesPage)) {
        m_preferenceBits = (readFlag(m_settings, kAutoSyncKey) ? kAutoSync : 0) |
                           (readFlag(m_settings, kAutoSaveKey) ? kAutoSave : 0);
        return;
    }
    // This run follows the old store; the new one starts with both on, so the next run has
    // automatic synchronization whatever the old store said.
    m_preferenceBits = (legacy.autoSync.toInt() != 0 ? kAutoSync : 0) | kAutoSave;
    m_settings.setValue(kAutoSyncKey, kOn);
    m_settings.setValue(kAutoSaveKey, kOn);
}

void SetupDlg::takeWorkspaceDefaults(const LegacyPreferences& legacy) {
    const QString& workspace = Preferences::kWorkspacePage;
    if (!legacy.hasWorkspace || groupHasEntries(m_settings, workspace))
        return;
    m_settings.setValue(workspace + QStringLiteral("ids"), legacy.workspaceIds);
    m_settings.setValue(workspace + QStringLiteral("descriptors"), legacy.workspaceDescriptors);
    m_settings.setValue(workspace + QStringLiteral("descriptors2"), legacy.workspaceDescriptors2);
}

void SetupDlg::takePortDefaults(const LegacyPreferences& legacy) {
    const QString& ports = Preferences::kMidiPortsPage;
    if (!legacy.hasPorts || groupHasSubkeys(m_settings, ports))
        return;
    m_settings.setValue(ports + QStringLiteral("InputPorts/ids"), legacy.inputIds);
    m_settings.setValue(ports + QStringLiteral("InputPorts/descriptors"), legacy.inputDescriptors);
    m_settings.setValue(ports + QStringLiteral("OutputPorts/ids"), legacy.outputIds);
    m_settings.setValue(ports + QStringLiteral("OutputPorts/descriptors"),
                        legacy.outputDescriptors);
}
