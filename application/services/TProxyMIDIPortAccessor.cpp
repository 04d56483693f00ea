#include "TProxyMIDIPortAccessor.h"

#include "GuidConversion.h"
#include "WideText.h"

TProxyMIDIPortAccessor::TProxyMIDIPortAccessor(std::recursive_mutex& lock,
                                               std::function<void()> refill)
    : m_lock(lock), m_refill(std::move(refill)) {}

TProxyMIDIPortAccessor::~TProxyMIDIPortAccessor() = default;

void TProxyMIDIPortAccessor::portIds(int direction, QList<QUuid>& ids) {
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    TMIDIPortAccessor::portIds(direction, ids);
}

QString TProxyMIDIPortAccessor::portEntry(const QUuid& id) {
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    return TMIDIPortAccessor::portEntry(id);
}

QString TProxyMIDIPortAccessor::portName(const QUuid& id) {
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    return TMIDIPortAccessor::portName(id);
}

int TProxyMIDIPortAccessor::portNumber(const QUuid& id) {
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    return TMIDIPortAccessor::portNumber(id);
}

void TProxyMIDIPortAccessor::fillPortData(int direction, MPPORTLIST* pPortData) {
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    TMIDIPortAccessor::fillPortData(direction, pPortData);
}

void TProxyMIDIPortAccessor::rebuild() {
    if (m_refill)
        m_refill();
}

void TProxyMIDIPortAccessor::takePortList(int direction, const MPPORTLIST& list) {
    if (!isDirection(direction))
        return;
    QMap<QUuid, QString>& table = m_ports[direction];
    table.clear();
    for (DWORD i = 0; list.ports && i < list.count; ++i) {
        const MPPORTINFO& port = list.ports[i];
        table.insert(uuidFromGuid(port.portId),
                     entryText(int(port.port), dorvo::textOfWide(port.name)));
    }
}

bool TProxyMIDIPortAccessor::knows(int direction, const QUuid& id) const {
    return isDirection(direction) && m_ports[direction].contains(id);
}
