#include "SysExLibrarianWidget.h"

#include "SysExLibrarianComponent.h"

#include <ComponentWatcher.h>
#include <PortChooser.h>

#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

const QString kSyxFilter = QStringLiteral("System exclusive (*.syx);;All files (*)");

QPushButton* button(const QString& text, const char* name, QWidget* parent) {
    auto* result = new QPushButton(text, parent);
    result->setObjectName(QString::fromLatin1(name));
    return result;
}

QSpinBox* milliseconds(int minimum, int maximum, const char* name, QWidget* parent) {
    auto* box = new QSpinBox(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setRange(minimum, maximum);
    box->setSuffix(QStringLiteral(" ms"));
    box->setSingleStep(50);
    return box;
}

} // namespace

SysExLibrarianWidget::SysExLibrarianWidget(SysExLibrarianComponent* component, QWidget* parent)
    : QWidget(parent), m_component(component) {
    setObjectName(QStringLiteral("sysExLibrarianPage"));
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(createDeviceRow());
    layout->addLayout(createRequestRow());
    m_captured = new QListWidget(this);
    m_captured->setObjectName(QStringLiteral("capturedList"));
    m_captured->setMinimumSize(520, 200);
    layout->addWidget(m_captured);
    layout->addLayout(createSendRow());
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("status"));
    m_status->setWordWrap(true);
    layout->addWidget(m_status);

    auto* watcher = new examples::ComponentWatcher(m_component, this);
    connect(watcher, &examples::ComponentWatcher::changed, this,
            &SysExLibrarianWidget::showChanges);
    showSettings();
    showCaptured();
    showActivity();
}

QLayout* SysExLibrarianWidget::createDeviceRow() {
    auto* row = new QHBoxLayout;
    m_deviceName = new QLineEdit(this);
    m_deviceName->setObjectName(QStringLiteral("deviceName"));
    m_deviceName->setPlaceholderText(tr("Device name"));
    m_inputPort = new examples::PortChooser(m_component, examples::ExampleComponent::kInput, this);
    m_inputPort->setObjectName(QStringLiteral("inputPort"));
    m_outputPort =
        new examples::PortChooser(m_component, examples::ExampleComponent::kOutput, this);
    m_outputPort->setObjectName(QStringLiteral("outputPort"));
    row->addWidget(new QLabel(tr("Device"), this));
    row->addWidget(m_deviceName);
    row->addWidget(new QLabel(tr("MIDI In"), this));
    row->addWidget(m_inputPort);
    row->addWidget(new QLabel(tr("MIDI Out"), this));
    row->addWidget(m_outputPort);
    connect(m_deviceName, &QLineEdit::editingFinished, this,
            [this] { m_component->setDeviceName(m_deviceName->text()); });
    return row;
}

QLayout* SysExLibrarianWidget::createRequestRow() {
    auto* row = new QHBoxLayout;
    m_request = new QLineEdit(this);
    m_request->setObjectName(QStringLiteral("requestText"));
    m_request->setPlaceholderText(QStringLiteral("F0 ... F7"));
    m_requestButton = button(tr("Request"), "requestButton", this);
    m_quietTime = milliseconds(SysExLibrarianComponent::kMinQuiet,
                               SysExLibrarianComponent::kMaxQuiet, "quietTime", this);
    m_quietTime->setToolTip(tr("The capture ends when nothing arrived for this long"));
    row->addWidget(new QLabel(tr("Dump request"), this));
    row->addWidget(m_request, 1);
    row->addWidget(new QLabel(tr("Quiet time"), this));
    row->addWidget(m_quietTime);
    row->addWidget(m_requestButton);
    connect(m_request, &QLineEdit::textChanged, this,
            [this](const QString& text) { m_component->setRequestText(text); });
    connect(m_quietTime, &QSpinBox::valueChanged, this,
            [this](int value) { m_component->setQuietTime(value); });
    connect(m_requestButton, &QPushButton::clicked, this, [this] { m_component->request(); });
    return row;
}

QLayout* SysExLibrarianWidget::createSendRow() {
    auto* row = new QHBoxLayout;
    m_sendButton = button(tr("Send"), "sendButton", this);
    m_pause = milliseconds(SysExLibrarianComponent::kMinPause, SysExLibrarianComponent::kMaxPause,
                           "pause", this);
    m_pause->setToolTip(tr("Pause between two messages sent"));
    m_stopButton = button(tr("Stop"), "stopButton", this);
    auto* importButton = button(tr("Import..."), "importButton", this);
    auto* exportButton = button(tr("Export..."), "exportButton", this);
    auto* clearButton = button(tr("Clear"), "clearButton", this);
    row->addWidget(m_sendButton);
    row->addWidget(new QLabel(tr("Pause"), this));
    row->addWidget(m_pause);
    row->addWidget(m_stopButton);
    row->addStretch();
    row->addWidget(importButton);
    row->addWidget(exportButton);
    row->addWidget(clearButton);
    connect(m_pause, &QSpinBox::valueChanged, this,
            [this](int value) { m_component->setPause(value); });
    connect(m_sendButton, &QPushButton::clicked, this, [this] { m_component->sendCaptured(); });
    connect(m_stopButton, &QPushButton::clicked, this, [this] { m_component->stop(); });
    connect(importButton, &QPushButton::clicked, this, &SysExLibrarianWidget::chooseImportFile);
    connect(exportButton, &QPushButton::clicked, this, &SysExLibrarianWidget::chooseExportFile);
    connect(clearButton, &QPushButton::clicked, this, [this] { m_component->clearCaptured(); });
    return row;
}

bool SysExLibrarianWidget::importFile(const QString& path) {
    return m_component->importFile(path);
}

bool SysExLibrarianWidget::exportFile(const QString& path) {
    return m_component->exportFile(path);
}

void SysExLibrarianWidget::chooseImportFile() {
    const QString path = QFileDialog::getOpenFileName(this, tr("Import"), QString(), kSyxFilter);
    if (!path.isEmpty())
        importFile(path);
}

void SysExLibrarianWidget::chooseExportFile() {
    QString name = m_component->deviceName();
    name = (name.isEmpty() ? QStringLiteral("dump") : name) + QStringLiteral(".syx");
    const QString path = QFileDialog::getSaveFileName(this, tr("Export"), name, kSyxFilter);
    if (!path.isEmpty())
        exportFile(path);
}

void SysExLibrarianWidget::showChanges(unsigned changes) {
    if (changes & examples::kPortsChanged) {
        m_inputPort->refresh();
        m_outputPort->refresh();
    }
    if (changes & examples::kSettingsChanged)
        showSettings();
    if (changes & examples::kValuesChanged)
        showCaptured();
    showActivity();
}

void SysExLibrarianWidget::showCaptured() {
    m_captured->clear();
    int number = 0;
    for (const examples::Bytes& message : m_component->captured())
        m_captured->addItem(
            QStringLiteral("%1: %2").arg(++number).arg(examples::shortenedHex(message, 12)));
}

void SysExLibrarianWidget::showSettings() {
    if (!m_deviceName->hasFocus())
        m_deviceName->setText(m_component->deviceName());
    const QSignalBlocker requestBlocker(m_request);
    if (m_request->text() != m_component->requestText())
        m_request->setText(m_component->requestText());
    const QSignalBlocker quietBlocker(m_quietTime);
    m_quietTime->setValue(m_component->quietTime());
    const QSignalBlocker pauseBlocker(m_pause);
    m_pause->setValue(m_component->pause());
}

void SysExLibrarianWidget::showActivity() {
    const bool busy = m_component->isBusy();
    m_requestButton->setEnabled(!busy);
    m_sendButton->setEnabled(!busy);
    m_stopButton->setEnabled(busy);
    m_status->setText(m_component->status());
}
