#include "PortChooser.h"

#include <QUuid>

#include <cstring>

namespace examples {

namespace {

QVariant idData(const GUID& id) {
    return QVariant(QByteArray(reinterpret_cast<const char*>(&id), sizeof id));
}

GUID idOf(const QVariant& data) {
    GUID id{};
    const QByteArray bytes = data.toByteArray();
    if (bytes.size() == sizeof id)
        std::memcpy(&id, bytes.constData(), sizeof id);
    return id;
}

} // namespace

PortChooser::PortChooser(ExampleComponent* component, int direction, QWidget* parent)
    : QComboBox(parent), m_component(component), m_direction(direction) {
    setSizeAdjustPolicy(QComboBox::AdjustToContents);
    connect(this, &QComboBox::currentIndexChanged, this, &PortChooser::entryChosen);
    refresh();
}

void PortChooser::refresh() {
    m_filling = true;
    clear();
    addItem(tr("(none)"), idData(GUID_NULL));
    const PortInfo chosen = m_component->chosenPort(m_direction);
    int current = 0;
    for (const PortInfo& port : m_component->availablePorts(m_direction)) {
        addItem(port.name, idData(port.id));
        if (!isNullGuid(chosen.id) && IsEqualGUID(port.id, chosen.id))
            current = count() - 1;
    }
    if (!isNullGuid(chosen.id) && current == 0) {
        addItem(tr("%1 (not available)").arg(chosen.name), idData(chosen.id));
        current = count() - 1;
    }
    setCurrentIndex(current);
    m_filling = false;
}

void PortChooser::entryChosen(int index) {
    if (m_filling || index < 0)
        return;
    const GUID id = idOf(itemData(index));
    const PortInfo chosen = m_component->chosenPort(m_direction);
    if (IsEqualGUID(id, chosen.id))
        return;
    QString name;
    for (const PortInfo& port : m_component->availablePorts(m_direction)) {
        if (IsEqualGUID(port.id, id))
            name = port.name;
    }
    m_component->choosePort(m_direction, id, name);
}

} // namespace examples
