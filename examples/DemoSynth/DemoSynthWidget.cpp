#include "DemoSynthWidget.h"

#include "DemoSynthComponent.h"

#include <ComponentWatcher.h>
#include <PortChooser.h>

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>

using demosynth::kBlocks;
using demosynth::kValuesPerBlock;

DemoSynthWidget::DemoSynthWidget(DemoSynthComponent* component, QWidget* parent)
    : QWidget(parent), m_component(component), m_choices(demosynth::kParameterCount, nullptr),
      m_sliders(demosynth::kParameterCount, nullptr) {
    setObjectName(QStringLiteral("demoSynthPage"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(createPortsRow());
    auto* blocks = new QHBoxLayout;
    for (int block = 0; block < kBlocks; ++block)
        blocks->addWidget(createBlockBox(block));
    layout->addLayout(blocks);
    m_problem = new QLabel(this);
    m_problem->setObjectName(QStringLiteral("problem"));
    layout->addWidget(m_problem);
    layout->addStretch();

    auto* watcher = new examples::ComponentWatcher(m_component, this);
    connect(watcher, &examples::ComponentWatcher::changed, this, &DemoSynthWidget::showChanges);
    showValues();
    showSettings();
}

QWidget* DemoSynthWidget::createPortsRow() {
    auto* row = new QWidget(this);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    m_inputPort = new examples::PortChooser(m_component, examples::ExampleComponent::kInput, row);
    m_inputPort->setObjectName(QStringLiteral("inputPort"));
    m_outputPort = new examples::PortChooser(m_component, examples::ExampleComponent::kOutput, row);
    m_outputPort->setObjectName(QStringLiteral("outputPort"));
    m_offline = new QCheckBox(tr("Off-line"), row);
    m_offline->setObjectName(QStringLiteral("offline"));
    m_offline->setToolTip(tr("Edit without sending the changes to the synthesizer"));
    m_recallGroup = new QSpinBox(row);
    m_recallGroup->setObjectName(QStringLiteral("recallGroup"));
    m_recallGroup->setRange(0, int(DemoSynthComponent::kMaxRecallGroup));

    layout->addWidget(new QLabel(tr("MIDI In"), row));
    layout->addWidget(m_inputPort);
    layout->addWidget(new QLabel(tr("MIDI Out"), row));
    layout->addWidget(m_outputPort);
    layout->addWidget(m_offline);
    layout->addWidget(new QLabel(tr("Recall group"), row));
    layout->addWidget(m_recallGroup);
    layout->addStretch();

    connect(m_offline, &QCheckBox::toggled, this, [this](bool on) { m_component->setOffline(on); });
    connect(m_recallGroup, &QSpinBox::valueChanged, this,
            [this](int group) { m_component->setRecallGroup(DWORD(group)); });
    return row;
}

QWidget* DemoSynthWidget::createBlockBox(int block) {
    auto* box = new QGroupBox(demosynth::blockName(block), this);
    box->setObjectName(demosynth::blockName(block));
    auto* form = new QFormLayout(box);
    for (int index = 0; index < kValuesPerBlock; ++index)
        form->addRow(demosynth::parameter(block, index).label, createControl(block, index));
    return box;
}

QWidget* DemoSynthWidget::createControl(int block, int index) {
    const demosynth::Parameter& parameter = demosynth::parameter(block, index);
    const std::size_t slot = std::size_t(block * kValuesPerBlock + index);
    if (!parameter.choices.isEmpty()) {
        auto* combo = new QComboBox(this);
        combo->setObjectName(parameter.key);
        combo->addItems(parameter.choices);
        connect(combo, &QComboBox::currentIndexChanged, this,
                [this, block, index](int value) { m_component->setValue(block, index, value); });
        m_choices[slot] = combo;
        return combo;
    }
    auto* holder = new QWidget(this);
    auto* layout = new QHBoxLayout(holder);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* slider = new QSlider(Qt::Horizontal, holder);
    slider->setObjectName(parameter.key);
    slider->setRange(0, parameter.maximum);
    slider->setMinimumWidth(100);
    auto* value = new QLabel(holder);
    value->setMinimumWidth(value->fontMetrics().horizontalAdvance(QStringLiteral("000")));
    connect(slider, &QSlider::valueChanged, value, [value](int v) { value->setNum(v); });
    connect(slider, &QSlider::valueChanged, this,
            [this, block, index](int v) { m_component->setValue(block, index, v); });
    layout->addWidget(slider);
    layout->addWidget(value);
    m_sliders[slot] = slider;
    return holder;
}

void DemoSynthWidget::showChanges(unsigned changes) {
    if (changes & examples::kPortsChanged) {
        m_inputPort->refresh();
        m_outputPort->refresh();
    }
    if (changes & examples::kValuesChanged)
        showValues();
    if (changes & examples::kSettingsChanged)
        showSettings();
    if (changes & (examples::kActivity | examples::kSettingsChanged))
        m_problem->setText(m_component->sendProblem());
}

void DemoSynthWidget::showValues() {
    const demosynth::Values values = m_component->values();
    for (int block = 0; block < kBlocks; ++block) {
        for (int index = 0; index < kValuesPerBlock; ++index) {
            const std::size_t slot = std::size_t(block * kValuesPerBlock + index);
            const int value = values[std::size_t(block)][std::size_t(index)];
            if (QComboBox* combo = m_choices[slot]) {
                const QSignalBlocker blocker(combo);
                combo->setCurrentIndex(value);
            } else if (QAbstractSlider* slider = m_sliders[slot]) {
                // The value label follows the slider; only the component must not hear it.
                const QSignalBlocker blocker(slider);
                slider->setValue(value);
                if (auto* label = slider->parentWidget()->findChild<QLabel*>())
                    label->setNum(value);
            }
        }
    }
}

void DemoSynthWidget::showSettings() {
    const QSignalBlocker offlineBlocker(m_offline);
    m_offline->setChecked(m_component->isOffline());
    const QSignalBlocker groupBlocker(m_recallGroup);
    m_recallGroup->setValue(int(m_component->recallGroup()));
}
