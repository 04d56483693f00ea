#include "ConfirmSynchronization.h"

#include "ui_ConfirmSynchronization.h"

ConfirmSynchronization::ConfirmSynchronization(QWidget* owner, Qt::WindowFlags flags)
    : QDialog(owner, flags), m_ui(new Ui::ConfirmSynchronization) {
    m_ui->setupUi(this);
    connect(m_ui->buttonOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_ui->buttonCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_ui->buttonHelp, &QPushButton::clicked, this, [this] { emit doHelp(this); });
}

ConfirmSynchronization::~ConfirmSynchronization() = default;

void ConfirmSynchronization::setDirectionList(const QStringList& names) {
    m_ui->devicesList->clear();
    m_ui->devicesList->addItems(names);
    m_ui->toFromGroup->setEnabled(!names.isEmpty());
}

void ConfirmSynchronization::setEditorList(const QStringList& names) {
    m_ui->XSTypeDevicesList->clear();
    m_ui->XSTypeDevicesList->addItems(names);
    m_ui->accordingToEditorGroup->setEnabled(!names.isEmpty());
}

void ConfirmSynchronization::setToHardware(bool toHardware) {
    (toHardware ? m_ui->toHardware : m_ui->fromHardware)->setChecked(true);
}

bool ConfirmSynchronization::toHardware() const {
    return m_ui->toHardware->isChecked();
}

QListWidget* ConfirmSynchronization::devicesList() const {
    return m_ui->devicesList;
}

QListWidget* ConfirmSynchronization::editorDevicesList() const {
    return m_ui->XSTypeDevicesList;
}

QRadioButton* ConfirmSynchronization::toHardwareButton() const {
    return m_ui->toHardware;
}

QRadioButton* ConfirmSynchronization::fromHardwareButton() const {
    return m_ui->fromHardware;
}
