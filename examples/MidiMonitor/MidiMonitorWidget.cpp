#include "MidiMonitorWidget.h"

#include "MidiMonitorComponent.h"

#include <ComponentWatcher.h>
#include <PortChooser.h>

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <map>

MidiMonitorWidget::MidiMonitorWidget(MidiMonitorComponent* component, QWidget* parent)
    : QWidget(parent), m_component(component), m_clearCount(component->clearCount()) {
    setObjectName(QStringLiteral("midiMonitorPage"));
    auto* layout = new QVBoxLayout(this);
    auto* row = new QHBoxLayout;
    m_inputPort = new examples::PortChooser(m_component, examples::ExampleComponent::kInput, this);
    m_inputPort->setObjectName(QStringLiteral("inputPort"));
    auto* clear = new QPushButton(tr("Clear"), this);
    clear->setObjectName(QStringLiteral("clearButton"));
    m_count = new QLabel(this);
    m_count->setObjectName(QStringLiteral("eventCount"));
    row->addWidget(new QLabel(tr("MIDI In"), this));
    row->addWidget(m_inputPort);
    row->addStretch();
    row->addWidget(m_count);
    row->addWidget(clear);
    layout->addLayout(row);

    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("eventList"));
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setHeaderLabels({tr("Time"), tr("Port"), tr("Kind"), tr("Channel"), tr("Bytes")});
    m_list->header()->setStretchLastSection(true);
    m_list->setMinimumSize(560, 280);
    layout->addWidget(m_list);

    connect(clear, &QPushButton::clicked, this, [this] { m_component->clear(); });
    auto* watcher = new examples::ComponentWatcher(m_component, this);
    connect(watcher, &examples::ComponentWatcher::changed, this, &MidiMonitorWidget::showChanges);
    showNewEvents();
}

void MidiMonitorWidget::showChanges(unsigned changes) {
    if (changes & examples::kPortsChanged)
        m_inputPort->refresh();
    if (changes & examples::kActivity)
        showNewEvents();
}

void MidiMonitorWidget::clearList() {
    m_list->clear();
}

void MidiMonitorWidget::showNewEvents() {
    const std::uint64_t clearCount = m_component->clearCount();
    if (clearCount != m_clearCount) {
        m_clearCount = clearCount;
        clearList();
    }
    const std::vector<MonitoredEvent> events = m_component->eventsAfter(m_lastShown);
    if (!events.empty()) {
        std::map<DWORD, QString> portNames;
        for (const examples::PortInfo& port :
             m_component->availablePorts(examples::ExampleComponent::kInput))
            portNames[port.number] = port.name;
        QList<QTreeWidgetItem*> items;
        for (const MonitoredEvent& event : events) {
            const auto name = portNames.find(event.port);
            items << new QTreeWidgetItem(
                {event.time.toString(QStringLiteral("hh:mm:ss.zzz")),
                 name != portNames.end() ? name->second : QString::number(event.port),
                 event.kindText(), event.channelText(), event.bytesText()});
        }
        m_list->addTopLevelItems(items);
        m_lastShown = events.back().serial;
        while (std::size_t(m_list->topLevelItemCount()) > MidiMonitorComponent::kMaxEvents)
            delete m_list->takeTopLevelItem(0);
        m_list->scrollToBottom();
    }
    m_count->setText(tr("%n event(s)", nullptr, m_list->topLevelItemCount()));
}
