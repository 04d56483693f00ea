#include "SetupDlg.h"

#include "CListBoxVEXElement.h"
#include "DorvoAssert.h"
#include "GuidConversion.h"
#include "PreferenceKeys.h"
#include "TComponentCatalogue.h"
#include "ui_SetupDlg.h"

#include <QListWidget>

namespace {

const QString kAutoSyncKey = Preferences::kPreferencesPage + QStringLiteral("auto_sync");
const QString kAutoSaveKey = Preferences::kPreferencesPage + QStringLiteral("auto_save");
const QString kOn = QStringLiteral("1");
const QString kOff = QStringLiteral("0");

const QString kWorkspaceIdsKey = Preferences::kWorkspacePage + QStringLiteral("ids");
const QString kWorkspaceNamesKey = Preferences::kWorkspacePage + QStringLiteral("descriptors");
const QString kWorkspaceTypesKey = Preferences::kWorkspacePage + QStringLiteral("descriptors2");

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
    : QDialog(parent, flags), m_ui(std::make_unique<Ui::SetupDlg>()),
      m_settings(QSettings::NativeFormat, QSettings::UserScope, Preferences::kOrganisation,
                 Preferences::kProduct) {
    m_ui->setupUi(this);
    // Only this user's store is ours; a machine-wide file of the same name must not leak in.
    m_settings.setFallbacksEnabled(false);
    connectForm();
    init();
}

SetupDlg::~SetupDlg() = default;

QListWidget* SetupDlg::workspaceList() const {
    return m_ui->workspaceList;
}

void SetupDlg::init() {
    migrateSettings();
    showPreferenceBits();
    resetChangedFlags();
    m_ui->inputPortsView->setSortingEnabled(false);
    m_ui->outputPortsView->setSortingEnabled(false);
    m_ui->deviceEditorList->installEventFilter(&m_keyPressEater);
    m_ui->workspaceList->installEventFilter(&m_keyPressEater);
    m_ui->inputPortsView->installEventFilter(this);
    m_ui->outputPortsView->installEventFilter(this);
}

void SetupDlg::connectForm() {
    connect(m_ui->addButton, &QPushButton::clicked, this, &SetupDlg::left2Right);
    connect(m_ui->removeButton, &QPushButton::clicked, this, &SetupDlg::removeFromRight);
    connect(m_ui->deviceEditorList, &QListWidget::itemDoubleClicked, this,
            &SetupDlg::editorListDoubleClicked);
    connect(m_ui->workspaceList, &QListWidget::itemDoubleClicked, this,
            &SetupDlg::wsListDoubleClicked);
    connect(m_ui->refreshButton, &QPushButton::clicked, this, &SetupDlg::portRefresh);
    connect(m_ui->midiThruGroup, &QGroupBox::toggled, this, &SetupDlg::midiThruCheckToggled);
    connect(m_ui->thruInPortCombo, &QComboBox::activated, this, &SetupDlg::midiThruChanged);
    connect(m_ui->thruOutPortCombo, &QComboBox::activated, this, &SetupDlg::midiThruChanged);
    connect(m_ui->autoSyncCheckBox, &QCheckBox::stateChanged, this, &SetupDlg::prefsChanged);
    connect(m_ui->autoSaveCheckBox, &QCheckBox::stateChanged, this, &SetupDlg::prefsChanged);
    connect(m_ui->buttonOk, &QPushButton::clicked, this, &SetupDlg::buttonOk_clicked);
    connect(m_ui->buttonApply, &QPushButton::clicked, this, &SetupDlg::workspaceChange);
    connect(m_ui->buttonCancel, &QPushButton::clicked, this, &SetupDlg::reject);
    connect(m_ui->helpButton, &QPushButton::clicked, this, &SetupDlg::helpButton_clicked);
    connectPortViews();
}

void SetupDlg::languageChange() {
    m_ui->retranslateUi(this);
}

// ---- Pages and changes --------------------------------------------------------------------------

void SetupDlg::showWorkspacePage() {
    m_ui->setupTab->setCurrentWidget(m_ui->workspacePage);
}

void SetupDlg::showMidiSettingsPage() {
    m_ui->setupTab->setCurrentWidget(m_ui->midiSettingsPage);
}

void SetupDlg::enableApply() {
    m_ui->buttonApply->setEnabled(true);
}

void SetupDlg::markPortsChanged() {
    m_portsChanged = true;
    enableApply();
}

void SetupDlg::resetChangedFlags() {
    m_workspaceChanged = false;
    m_portsChanged = false;
    m_prefsChanged = false;
    m_ui->buttonApply->setEnabled(false);
}

// ---- The Workspace page -------------------------------------------------------------------------

void SetupDlg::fillDeviceEditorList(const QList<TCatalogueEntry>* catalogue) {
    m_ui->deviceEditorList->clear();
    if (catalogue) {
        for (const TCatalogueEntry& entry : *catalogue)
            new CListBoxVEXElement(entry, entry.name, m_ui->deviceEditorList);
    }
    m_ui->deviceEditorList->sortItems(Qt::AscendingOrder);
}

void SetupDlg::left2Right() {
    QListWidget* available = m_ui->deviceEditorList;
    QListWidget* workspace = m_ui->workspaceList;
    for (int row = 0; row < available->count(); ++row) {
        CListBoxVEXElement* type = CListBoxVEXElement::from(available->item(row));
        if (!type || !type->isSelected())
            continue;
        const QString base = type->text();
        QString name = base;
        for (int number = 2;
             !workspace->findItems(name, Qt::MatchExactly | Qt::MatchCaseSensitive).isEmpty();
             ++number)
            name = base + QStringLiteral(" ") + QString::number(number);
        new CListBoxVEXElement(type->entry(), name, workspace);
        m_workspaceChanged = true;
        enableApply();
    }
}

void SetupDlg::removeFromRight() {
    QListWidget* workspace = m_ui->workspaceList;
    for (int row = workspace->count() - 1; row >= 0; --row) {
        if (!workspace->item(row)->isSelected())
            continue;
        delete workspace->takeItem(row);
        m_workspaceChanged = true;
        enableApply();
    }
}

void SetupDlg::editorListDoubleClicked() {
    m_ui->addButton->click();
}

void SetupDlg::wsListDoubleClicked() {
    m_ui->removeButton->click();
}

void SetupDlg::setDefaultWorkspace() {
    QStringList ids, names, types;
    for (int row = 0; row < m_ui->workspaceList->count(); ++row) {
        const CListBoxVEXElement* element =
            CListBoxVEXElement::from(m_ui->workspaceList->item(row));
        if (!element)
            continue;
        ids << uuidFromGuid(element->entry().classId).toString();
        names << element->text();
        types << element->entry().name;
    }
    m_settings.setValue(kWorkspaceIdsKey, ids);
    m_settings.setValue(kWorkspaceNamesKey, names);
    m_settings.setValue(kWorkspaceTypesKey, types);
}

void SetupDlg::recallDefaultWorkspace() {
    m_ui->workspaceList->clear();
    const QStringList ids = readList(m_settings, kWorkspaceIdsKey);
    const QStringList names = readList(m_settings, kWorkspaceNamesKey);
    const QStringList types = readList(m_settings, kWorkspaceTypesKey);
    QStringList missing;
    for (qsizetype i = 0; i < ids.size() && i < names.size(); ++i) {
        const QUuid classId(ids[i]);
        const CListBoxVEXElement* type = nullptr;
        for (int row = 0; row < m_ui->deviceEditorList->count() && !type; ++row) {
            const CListBoxVEXElement* candidate =
                CListBoxVEXElement::from(m_ui->deviceEditorList->item(row));
            if (candidate && !classId.isNull() &&
                uuidFromGuid(candidate->entry().classId) == classId)
                type = candidate;
        }
        if (type) {
            new CListBoxVEXElement(type->entry(), names[i], m_ui->workspaceList);
            continue;
        }
        QString note = names[i];
        if (i < types.size() && types[i] != names[i])
            note += QStringLiteral(" (") + types[i] + QStringLiteral(")");
        missing << note;
    }
    if (missing.isEmpty())
        return;
    QString text =
        tr("Following components are not installed.\n") + missing.join(QStringLiteral("\n"));
    emit showWarningMsg(text);
}

// ---- Preferences --------------------------------------------------------------------------------

void SetupDlg::showPreferenceBits() {
    m_ui->autoSyncCheckBox->setChecked(m_preferenceBits & kAutoSync);
    m_ui->autoSaveCheckBox->setChecked(m_preferenceBits & kAutoSave);
}

void SetupDlg::prefsChanged() {
    m_prefsChanged = true;
    enableApply();
}

void SetupDlg::storePreferences() {
    m_preferenceBits = (m_ui->autoSyncCheckBox->isChecked() ? kAutoSync : 0) |
                       (m_ui->autoSaveCheckBox->isChecked() ? kAutoSave : 0);
    m_settings.setValue(kAutoSyncKey, autoSync() ? kOn : kOff);
    m_settings.setValue(kAutoSaveKey, autoSave() ? kOn : kOff);
}

// ---- Apply, OK, Cancel, Help --------------------------------------------------------------------

void SetupDlg::workspaceChange() {
    if (m_portsChanged)
        emit portSetupUpdate();
    if (m_workspaceChanged)
        emit workspaceUpdate();
    if (m_prefsChanged)
        storePreferences();
    if (m_ui->autoSaveCheckBox->isChecked()) {
        setDefaultWorkspace();
        setDefaultMIDIPorts();
    }
    m_settings.sync();
    resetChangedFlags();
}

void SetupDlg::buttonOk_clicked() {
    workspaceChange();
    accept();
}

void SetupDlg::reject() {
    // The check boxes show what is stored again; the Workspace and port pages are rebuilt each
    // time the dialog opens.
    if (m_prefsChanged)
        showPreferenceBits();
    resetChangedFlags();
    QDialog::reject();
}

void SetupDlg::helpButton_clicked() {
    emit doHelp(this);
}

// ---- Preferences migration ----------------------------------------------------------------------

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
