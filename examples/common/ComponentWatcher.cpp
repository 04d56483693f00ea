#include "ComponentWatcher.h"

namespace examples {

ComponentWatcher::ComponentWatcher(ExampleComponent* component, QObject* parent)
    : QObject(parent), m_component(component) {
    m_component->addListener(this);
}

ComponentWatcher::~ComponentWatcher() {
    // Waits for a report under way; what it posted dies with this object.
    m_component->removeListener(this);
}

void ComponentWatcher::componentChanged(unsigned changes) {
    if (m_pending.fetch_or(changes) == 0)
        QMetaObject::invokeMethod(this, &ComponentWatcher::deliver, Qt::QueuedConnection);
}

void ComponentWatcher::deliver() {
    const unsigned changes = m_pending.exchange(0);
    if (changes)
        emit changed(changes);
}

} // namespace examples
