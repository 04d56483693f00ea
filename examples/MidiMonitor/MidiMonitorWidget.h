// The MIDI Monitor's page: the input port, the list of what arrived (time, port, kind, channel,
// bytes) and a button that clears it.
#pragma once

#include <QWidget>

#include <cstdint>

class MidiMonitorComponent;
class QLabel;
class QTreeWidget;

namespace examples {
class PortChooser;
}

class MidiMonitorWidget final : public QWidget {
    Q_OBJECT
public:
    // GUI thread; the component outlives the widget.
    explicit MidiMonitorWidget(MidiMonitorComponent* component, QWidget* parent = nullptr);

private:
    void showChanges(unsigned changes);
    void showNewEvents();
    void clearList();

    MidiMonitorComponent* const m_component;
    examples::PortChooser* m_inputPort = nullptr;
    QTreeWidget* m_list = nullptr;
    QLabel* m_count = nullptr;
    std::uint64_t m_lastShown = 0;
    std::uint64_t m_clearCount = 0;
};
