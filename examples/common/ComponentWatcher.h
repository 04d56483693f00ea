// Brings a component's change reports to the GUI thread as the signal changed(), coalescing
// reports that arrive before the GUI thread got to the first one. A page widget owns one.
#pragma once

#include "ExampleComponent.h"

#include <QObject>

#include <atomic>

namespace examples {

class ComponentWatcher final : public QObject, public ComponentListener {
    Q_OBJECT
public:
    // GUI thread: listens to the component until destroyed.
    ComponentWatcher(ExampleComponent* component, QObject* parent);
    ~ComponentWatcher() override;

    void componentChanged(unsigned changes) override;

signals:
    void changed(unsigned changes);

private:
    void deliver();

    ExampleComponent* const m_component;
    std::atomic<unsigned> m_pending{0};
};

} // namespace examples
