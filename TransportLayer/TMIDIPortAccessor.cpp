#include "TMIDIPortAccessor.h"

#include "GuidConversion.h"
#include "TransportCheck.h"
#include "WideText.h"

#include <algorithm>
#include <dorvo/objbase.h>

using dorvo::transport::kTransportModule;

namespace {

constexpr QChar kFieldSeparator = u';';

bool hasNameField(const QString& entry) {
    return entry.contains(kFieldSeparator);
}

} // namespace

TMIDIPortAccessor::~TMIDIPortAccessor() = default;

QString TMIDIPortAccessor::entryText(int portNumber, const QString& name) {
    return QStringLiteral("%1%2%3").arg(QString::number(portNumber), QString(kFieldSeparator),
                                        name);
}

QString TMIDIPortAccessor::unknownEntryText() {
    return entryText(0, QStringLiteral("<unknown port name>"));
}

void TMIDIPortAccessor::portIds(int direction, QList<QUuid>& ids) {
    ids.clear();
    if (!isDirection(direction))
        return;
    QList<std::pair<int, QUuid>> numbered;
    const QMap<QUuid, QString>& ports = m_ports[direction];
    for (auto it = ports.cbegin(); it != ports.cend(); ++it) {
        if (hasNameField(it.value()))
            numbered.append({it.value().section(kFieldSeparator, 0, 0).toInt(), it.key()});
    }
    std::stable_sort(numbered.begin(), numbered.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& entry : numbered)
        ids.append(entry.second);
}

QString TMIDIPortAccessor::portEntry(const QUuid& id) {
    if (!id.isNull()) {
        for (const auto& ports : m_ports) {
            const auto it = ports.constFind(id);
            if (it != ports.cend())
                return it.value();
        }
    }
    return unknownEntryText();
}

QString TMIDIPortAccessor::portName(const QUuid& id) {
    return portEntry(id).section(kFieldSeparator, 1, 1);
}

int TMIDIPortAccessor::portNumber(const QUuid& id) {
    return portEntry(id).section(kFieldSeparator, 0, 0).toInt();
}

void TMIDIPortAccessor::fillPortData(int direction, MPPORTLIST* pPortData) {
    if (!TRANSPORT_CHECK(kTransportModule, pPortData, "pPortData"))
        return;
    pPortData->count = 0;
    pPortData->ports = nullptr;
    if (!isDirection(direction) || m_ports[direction].isEmpty())
        return;
    const auto capacity = static_cast<SIZE_T>(m_ports[direction].size());
    auto* ports = static_cast<MPPORTINFO*>(CoTaskMemAlloc(capacity * sizeof(MPPORTINFO)));
    if (!ports)
        return;
    QList<QUuid> ids;
    portIds(direction, ids);
    DWORD count = 0;
    for (const QUuid& id : std::as_const(ids)) {
        const QString entry = m_ports[direction].value(id);
        MPPORTINFO& info = ports[count++];
        info.port = static_cast<DWORD>(entry.section(kFieldSeparator, 0, 0).toInt());
        info.portId = guidFromUuid(id);
        info.name = dorvo::taskAllocatedText(entry.section(kFieldSeparator, 1, 1));
    }
    if (count == 0) {
        CoTaskMemFree(ports);
        return;
    }
    pPortData->count = count;
    pPortData->ports = ports;
}

void TMIDIPortAccessor::rebuild() {}
