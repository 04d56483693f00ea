#include "TDocumentPortSection.h"

#include "ClientIMPClientServices.h"
#include "ClientIUnknown.h"
#include "TUniMIDIPortAccessor.h"

#include <QCoreApplication>
#include <QSet>
#include <algorithm>

namespace {

constexpr int kIn = TMIDIPortAccessor::kInput;
constexpr int kOut = TMIDIPortAccessor::kOutput;

QString translated(const char* text) {
    return QCoreApplication::translate("TDocumentPortSection", text);
}

// A stored port text: "number;name", the name perhaps followed by " [users]".
struct StoredPort {
    QUuid id;
    int number = 0;
    QString name;
};

StoredPort storedPort(int direction, const xdw::PortRecord& record) {
    const qsizetype separator = record.text.indexOf(QLatin1Char(';'));
    StoredPort port{record.port, 0, QString()};
    port.number = record.text.left(separator < 0 ? 0 : separator).toInt();
    port.name = separator < 0 ? QString() : record.text.mid(separator + 1);
    port.name.remove(TUniMIDIPortAccessor::nameMarker(direction));
    return port;
}

} // namespace

// ---- Writing ---------------------------------------------------------------------------------

xdw::PortSection TDocumentPortSection::write() {
    xdw::PortSection section;
    for (int direction = kIn; direction <= kOut; ++direction) {
        const QList<QUuid> documentPorts = m_ports.workspacePorts(direction);
        // Texts first: resolving moves the port found to the front of its re-mapping entry,
        // and the entries are written as they are afterwards.
        for (const QUuid& id : documentPorts)
            section.ports[direction].append({id, portText(direction, id)});
        const TVirtualMIDIPortAccessor::RemapTable& table = m_ports.remapTable(direction);
        // The table is ordered by id, as the document wants its records.
        for (auto entry = table.cbegin(); entry != table.cend(); ++entry)
            if (documentPorts.contains(entry.key()))
                section.remap[direction].append({entry.key(), entry.value()});
    }
    return section;
}

QString TDocumentPortSection::portText(int direction, const QUuid& documentId) {
    const QUuid resolved = m_ports.resolve(direction, documentId);
    const bool present = m_ports.systemIndex(direction, resolved) >= 0;
    const QString entry = present && m_ports.systemPorts()
                              ? m_ports.systemPorts()->portEntry(resolved)
                              : TMIDIPortAccessor::unknownEntryText();
    ClientIUnknown* host = m_ports.hostObject();
    ClientIMPClientServices* services = host ? host->clientServices() : nullptr;
    const QString users = services ? services->portUsersText(documentId) : QString();
    return users.isEmpty() ? entry : QStringLiteral("%1 [%2]").arg(entry, users);
}

xdw::ThruSection TDocumentPortSection::writeThru() {
    xdw::ThruSection thru;
    thru.on = m_ports.thruSettings().on ? 1 : 0;
    for (int direction = kIn; direction <= kOut; ++direction) {
        // The port chosen, also while it is unplugged.
        const QUuid id = m_ports.thruPortId(direction);
        if (id.isNull())
            continue;
        thru.ports[direction].port = id;
        // Empty, as without a port, when the Workspace does not use the port.
        const QString text = m_ports.workspaceEntryText(direction, id);
        if (!text.isNull())
            thru.ports[direction].text = text;
    }
    return thru;
}

// ---- Reading ---------------------------------------------------------------------------------

TDocumentPortSection::MissingPorts TDocumentPortSection::read(const xdw::PortSection& section) {
    MissingPorts missing;
    TVirtualMIDIPortAccessor::Selection selection;
    for (int direction = kIn; direction <= kOut; ++direction)
        readDirection(direction, section, missing[direction], selection[direction]);
    if (missing[kIn].isEmpty() && missing[kOut].isEmpty()) {
        for (int direction = kIn; direction <= kOut; ++direction)
            m_ports.setDocumentPortNames(direction, {});
        m_ports.applySelection(selection, TVirtualMIDIPortAccessor::WorkspaceList::Keep, true);
    } else {
        m_ports.clearWorkspaceMaps();
    }
    return missing;
}

void TDocumentPortSection::readDirection(int direction, const xdw::PortSection& section,
                                         QStringList& missing, QList<int>& selection) {
    TVirtualMIDIPortAccessor::RemapTable table;
    for (const xdw::RemapRecord& record : section.remap[direction])
        table.insert(record.port, record.targets);
    m_ports.setRemapTable(direction, table);

    QList<StoredPort> stored;
    QSet<QUuid> seen;
    for (const xdw::PortRecord& record : section.ports[direction]) {
        // A port listed twice would stand for two machine ports at once; the first counts.
        if (!seen.contains(record.port)) {
            seen.insert(record.port);
            stored.append(storedPort(direction, record));
        }
    }
    // Two ports stored under the same number both stay, in the document's order.
    std::stable_sort(stored.begin(), stored.end(),
                     [](const StoredPort& a, const StoredPort& b) { return a.number < b.number; });

    QList<QUuid> ids;
    QMap<QUuid, QString> names;
    for (const StoredPort& port : std::as_const(stored)) {
        ids.append(port.id);
        names.insert(port.id, port.name);
    }
    m_ports.setWorkspacePorts(direction, ids);
    m_ports.setDocumentPortNames(direction, names);

    for (const StoredPort& port : std::as_const(stored)) {
        const int index = m_ports.systemIndex(direction, m_ports.resolve(direction, port.id));
        if (index < 0 || selection.contains(index))
            missing.append(port.name);
        else
            selection.append(index);
    }
    std::sort(selection.begin(), selection.end());
}

void TDocumentPortSection::readThru(const xdw::ThruSection& thru) {
    m_ports.applyThruPorts(thru.on != 0, thru.ports[kIn].port, thru.ports[kOut].port);
}

QString TDocumentPortSection::missingPortsText(const MissingPorts& missing) {
    if (missing[kIn].isEmpty() && missing[kOut].isEmpty())
        return QString();
    QString text = translated("Following MIDI port(s) could not be found.");
    for (int direction = kIn; direction <= kOut; ++direction) {
        if (missing[direction].isEmpty())
            continue;
        text += QStringLiteral("\n") + (direction == kOut ? translated("Out") : translated("In")) +
                translated("put:\n") + missing[direction].join(QStringLiteral("\n"));
    }
    return text;
}
