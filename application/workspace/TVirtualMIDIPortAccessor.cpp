#include "TVirtualMIDIPortAccessor.h"

#include "ClientIUnknown.h"
#include "DorvoAssert.h"

#include <QCoreApplication>
#include <algorithm>
#include <mutex>

namespace {

bool isOutput(int direction) {
    return direction == TMIDIPortAccessor::kOutput;
}

QString translated(const char* text) {
    return QCoreApplication::translate("TVirtualMIDIPortAccessor", text);
}

} // namespace

TVirtualMIDIPortAccessor::TVirtualMIDIPortAccessor(ClientIUnknown* hostObject,
                                                   TMIDIPortAccessor* systemPorts)
    : m_hostObject(hostObject), m_systemPorts(systemPorts) {
    DORVO_CHECK(m_hostObject);
    DORVO_CHECK(m_systemPorts);
    refreshSystemIds();
}

TVirtualMIDIPortAccessor::~TVirtualMIDIPortAccessor() = default;

// ---- The machine's ports ----------------------------------------------------------------------

void TVirtualMIDIPortAccessor::refreshSystemIds() {
    for (int direction = kInput; direction < kDirections; ++direction) {
        m_systemIds[direction].clear();
        if (m_systemPorts)
            m_systemPorts->portIds(direction, m_systemIds[direction]);
    }
}

const QList<QUuid>& TVirtualMIDIPortAccessor::systemIds(int direction) const {
    static const QList<QUuid> none;
    return isDirection(direction) ? m_systemIds[direction] : none;
}

bool TVirtualMIDIPortAccessor::isPresent(const QUuid& id) const {
    return !id.isNull() && (m_systemIds[kInput].contains(id) || m_systemIds[kOutput].contains(id));
}

int TVirtualMIDIPortAccessor::systemIndex(int direction, const QUuid& id) const {
    if (!isDirection(direction) || id.isNull())
        return -1;
    return int(m_systemIds[direction].indexOf(id));
}

QUuid TVirtualMIDIPortAccessor::systemId(int direction, int index) const {
    if (!isDirection(direction) || index < 0 || index >= m_systemIds[direction].size())
        return QUuid();
    return m_systemIds[direction].at(index);
}

int TVirtualMIDIPortAccessor::devicePort(int direction, int index) const {
    // The device number, not the position + 1: a device without a name is left out of the
    // list, and the positions after it are one less than their device numbers.
    const QUuid id = systemId(direction, index);
    return id.isNull() || !m_systemPorts ? 0 : m_systemPorts->portNumber(id);
}

QString TVirtualMIDIPortAccessor::systemPortName(int direction, int index) const {
    const QUuid id = systemId(direction, index);
    return id.isNull() || !m_systemPorts ? QString() : m_systemPorts->portName(id);
}

bool TVirtualMIDIPortAccessor::isUsable(int direction, const QUuid& resolved) const {
    return systemIndex(direction, resolved) >= 0;
}

// ---- Document ports ---------------------------------------------------------------------------

const QList<QUuid>& TVirtualMIDIPortAccessor::workspacePorts(int direction) const {
    static const QList<QUuid> none;
    return isDirection(direction) ? m_workspacePorts[direction] : none;
}

void TVirtualMIDIPortAccessor::setWorkspacePorts(int direction, const QList<QUuid>& documentIds) {
    if (isDirection(direction))
        m_workspacePorts[direction] = documentIds;
}

const TVirtualMIDIPortAccessor::RemapTable&
TVirtualMIDIPortAccessor::remapTable(int direction) const {
    static const RemapTable none;
    return isDirection(direction) ? m_remapTables[direction] : none;
}

void TVirtualMIDIPortAccessor::setRemapTable(int direction, const RemapTable& table) {
    if (isDirection(direction))
        m_remapTables[direction] = table;
}

const QMap<QUuid, QString>& TVirtualMIDIPortAccessor::documentPortNames(int direction) const {
    static const QMap<QUuid, QString> none;
    return isDirection(direction) ? m_documentPortNames[direction] : none;
}

void TVirtualMIDIPortAccessor::setDocumentPortNames(int direction,
                                                    const QMap<QUuid, QString>& names) {
    if (isDirection(direction))
        m_documentPortNames[direction] = names;
}

QUuid TVirtualMIDIPortAccessor::resolve(int direction, const QUuid& documentId) {
    if (!isDirection(direction))
        return QUuid();
    const auto entry = m_remapTables[direction].find(documentId);
    if (entry != m_remapTables[direction].end() && !entry->isEmpty()) {
        if (entry->first().isNull())
            return QUuid();
        for (qsizetype i = 0; i < entry->size(); ++i) {
            if (isPresent(entry->at(i))) {
                // The port found last time is tried first next time.
                const QUuid found = entry->takeAt(i);
                entry->prepend(found);
                return found;
            }
        }
    }
    return documentId;
}

// ---- What the setup dialog shows --------------------------------------------------------------

const QList<int>& TVirtualMIDIPortAccessor::currentSelection(int direction) const {
    static const QList<int> none;
    return isDirection(direction) ? m_currentSelection[direction] : none;
}

QString TVirtualMIDIPortAccessor::displayText(int direction, int index) {
    const QUuid id = systemId(direction, index);
    if (id.isNull())
        return QString();
    const QString name = m_systemPorts->portName(id);
    ClientIMPClientServices* services = m_hostObject ? m_hostObject->clientServices() : nullptr;
    if (!services)
        return name;
    // Components register their ports under the document port ids they were given.
    QList<QUuid> standingFor;
    for (const QUuid& documentId : std::as_const(m_workspacePorts[direction])) {
        if (resolve(direction, documentId) == id)
            standingFor.append(documentId);
    }
    if (standingFor.isEmpty())
        standingFor.append(id);
    QStringList users;
    for (const QUuid& documentId : std::as_const(standingFor)) {
        const QString text = services->portUsersText(documentId);
        if (!text.isEmpty())
            users.append(text);
    }
    if (users.isEmpty())
        return name;
    return QStringLiteral("%1 [%2]").arg(name, users.join(QStringLiteral(", ")));
}

QStringList TVirtualMIDIPortAccessor::displayTexts(int direction) {
    QStringList texts;
    for (int index = 0; index < systemIds(direction).size(); ++index)
        texts.append(displayText(direction, index));
    return texts;
}

// ---- Applying a selection ---------------------------------------------------------------------

bool TVirtualMIDIPortAccessor::applyPortSelection(const Selection& selection,
                                                  const ThruSettings& thru) {
    const bool changed = applySelection(selection);
    applyThruSettings(thru);
    return changed;
}

bool TVirtualMIDIPortAccessor::applySelection(const Selection& selection,
                                              WorkspaceList workspaceList, bool forceRebuild) {
    bool changed = false;
    for (int direction = kInput; direction < kDirections; ++direction)
        changed |= closeDeselected(direction, selection[direction], workspaceList);
    for (int direction = kInput; direction < kDirections; ++direction)
        changed |= addSelected(direction, selection[direction], workspaceList);
    bool opened = false;
    QStringList failedNames[kDirections];
    for (int direction = kInput; direction < kDirections; ++direction)
        opened |= openSelected(direction, failedNames[direction]);
    // Closed ports go from the components' lists as well, not only when something opened.
    if (changed || opened || forceRebuild) {
        replaceWorkspaceMaps(workspaceMapsOfOpenPorts());
        publishPortChange();
    }
    m_openFailure = !failedNames[kInput].isEmpty() || !failedNames[kOutput].isEmpty();
    if (m_openFailure)
        reportOpenFailures(failedNames);
    return changed;
}

bool TVirtualMIDIPortAccessor::closeDeselected(int direction, const QList<int>& wanted,
                                               WorkspaceList workspaceList) {
    bool changed = false;
    const QList<int> current = m_currentSelection[direction];
    for (int index : current) {
        if (wanted.contains(index))
            continue;
        if (workspaceList == WorkspaceList::Update)
            dropWorkspacePortsOf(direction, systemId(direction, index));
        const int port = devicePort(direction, index);
        if (m_hostObject && m_hostObject->isPortOpen(isOutput(direction), port))
            m_hostObject->closePort(isOutput(direction), port);
        m_currentSelection[direction].removeOne(index);
        changed = true;
    }
    return changed;
}

bool TVirtualMIDIPortAccessor::addSelected(int direction, const QList<int>& wanted,
                                           WorkspaceList workspaceList) {
    bool changed = false;
    for (int index : wanted) {
        if (!DORVO_CHECK(index >= 0 && index < m_systemIds[direction].size()))
            continue;
        if (m_currentSelection[direction].contains(index))
            continue;
        if (workspaceList == WorkspaceList::Update)
            joinWorkspacePorts(direction, systemId(direction, index));
        m_currentSelection[direction].append(index);
        changed = true;
    }
    std::sort(m_currentSelection[direction].begin(), m_currentSelection[direction].end());
    return changed;
}

bool TVirtualMIDIPortAccessor::openSelected(int direction, QStringList& failedNames) {
    if (!m_hostObject)
        return false;
    bool opened = false;
    // Every selected port that is not open, also one that failed at an earlier apply: applying
    // the same choice again is how the user retries.
    for (int index : std::as_const(m_currentSelection[direction])) {
        const int port = devicePort(direction, index);
        if (m_hostObject->isPortOpen(isOutput(direction), port))
            continue;
        if (m_hostObject->openPort(isOutput(direction), port))
            opened = true;
        else
            failedNames.append(systemPortName(direction, index));
    }
    return opened;
}

void TVirtualMIDIPortAccessor::dropWorkspacePortsOf(int direction, const QUuid& systemPort) {
    if (systemPort.isNull())
        return;
    QList<QUuid>& ports = m_workspacePorts[direction];
    for (qsizetype i = ports.size() - 1; i >= 0; --i) {
        const QUuid documentId = ports.at(i);
        if (resolve(direction, documentId) != systemPort)
            continue;
        ports.removeAt(i);
        m_remapTables[direction].remove(documentId);
    }
}

void TVirtualMIDIPortAccessor::joinWorkspacePorts(int direction, const QUuid& systemPort) {
    if (systemPort.isNull())
        return;
    QList<QUuid>& ports = m_workspacePorts[direction];
    RemapTable& table = m_remapTables[direction];
    for (const QUuid& documentId : std::as_const(ports)) {
        if (resolve(direction, documentId) == systemPort) {
            // Keeps its place; the port it stands for now comes first from now on.
            if (documentId == systemPort) {
                table.remove(documentId);
                return;
            }
            QList<QUuid>& entry = table[documentId];
            entry.removeAll(systemPort);
            entry.prepend(systemPort);
            return;
        }
    }
    // A document port with the machine port's own id that was assigned elsewhere (or to no
    // port) stands for it again, rather than appearing twice in the list.
    if (ports.contains(systemPort)) {
        table.remove(systemPort);
        return;
    }
    ports.append(systemPort);
}

void TVirtualMIDIPortAccessor::reportOpenFailures(const QStringList (&failedNames)[kDirections]) {
    QString text = translated("Following MIDI ports can not be opened at this time.");
    for (int direction = kInput; direction < kDirections; ++direction) {
        if (failedNames[direction].isEmpty())
            continue;
        text += QStringLiteral("\n") +
                (isOutput(direction) ? QStringLiteral("Out") : QStringLiteral("In")) +
                QStringLiteral("put:\n") + failedNames[direction].join(QStringLiteral("\n"));
    }
    if (m_warningHandler)
        m_warningHandler(text);
    else
        qWarning("%s", qPrintable(text));
}

// ---- The components' view ---------------------------------------------------------------------

TVirtualMIDIPortAccessor::PortMaps TVirtualMIDIPortAccessor::workspaceMapsOfOpenPorts() {
    PortMaps maps;
    if (!m_hostObject || !m_systemPorts)
        return maps;
    // Under another owner's ports, the re-mapped ones are known to components by the
    // document's ids.
    std::array<QMap<QUuid, QUuid>, kDirections> identities;
    for (int direction = kInput; direction < kDirections; ++direction) {
        for (const QUuid& documentId : std::as_const(m_workspacePorts[direction])) {
            const QUuid resolved = resolve(direction, documentId);
            if (!isUsable(direction, resolved))
                continue;
            const int port = devicePort(direction, systemIndex(direction, resolved));
            if (!m_hostObject->isPortOpen(isOutput(direction), port))
                continue;
            maps[direction].insert(documentId, m_systemPorts->portEntry(resolved));
            if (resolved != documentId)
                identities[direction].insert(resolved, documentId);
        }
        m_hostObject->setPortIdentities(direction, identities[direction]);
    }
    return maps;
}

void TVirtualMIDIPortAccessor::replaceWorkspaceMaps(PortMaps maps) {
    // A component on another thread may be filling its port list from these maps.
    std::unique_lock<std::recursive_mutex> lock;
    if (m_hostObject && m_hostObject->portListLock())
        lock = std::unique_lock<std::recursive_mutex>(*m_hostObject->portListLock());
    for (int direction = kInput; direction < kDirections; ++direction)
        m_ports[direction].swap(maps[direction]);
    if (m_hostObject)
        m_hostObject->freeCachedPortLists();
}

void TVirtualMIDIPortAccessor::publishPortChange() {
    // Outside the port list lock: the notified components may ask for their lists at once.
    if (m_hostObject)
        m_hostObject->portListChanged();
}

void TVirtualMIDIPortAccessor::clearWorkspaceMaps() {
    replaceWorkspaceMaps(PortMaps());
}

QString TVirtualMIDIPortAccessor::workspaceEntryText(int direction, const QUuid& documentId) const {
    return isDirection(direction) ? m_ports[direction].value(documentId) : QString();
}

// ---- MIDI Thru --------------------------------------------------------------------------------

void TVirtualMIDIPortAccessor::applyThruSettings(const ThruSettings& thru) {
    m_thruIds[kInput] = systemId(kInput, thru.inputPort - 1);
    m_thruIds[kOutput] = systemId(kOutput, thru.outputPort - 1);
    routeThru(thru);
}

void TVirtualMIDIPortAccessor::applyThruPorts(bool on, const QUuid& input, const QUuid& output) {
    m_thruIds[kInput] = input;
    m_thruIds[kOutput] = output;
    routeThru({on, systemIndex(kInput, input) + 1, systemIndex(kOutput, output) + 1});
}

QUuid TVirtualMIDIPortAccessor::thruPortId(int direction) const {
    return isDirection(direction) ? m_thruIds[direction] : QUuid();
}

void TVirtualMIDIPortAccessor::routeThru(const ThruSettings& thru) {
    removeThruRoute();
    m_thru.on = thru.on;
    m_thru.inputPort = std::max(thru.inputPort, 0);
    m_thru.outputPort = std::max(thru.outputPort, 0);
    addThruRoute();
    if (!m_hostObject)
        return;
    if (m_thru.on)
        m_hostObject->thruOn();
    else
        m_hostObject->thruOff();
}

void TVirtualMIDIPortAccessor::removeThruRoute() {
    if (m_hostObject && (m_routeInput > 0 || m_routeOutput > 0))
        m_hostObject->removeThruRoute(m_routeInput, m_routeOutput);
    m_routeInput = 0;
    m_routeOutput = 0;
}

void TVirtualMIDIPortAccessor::addThruRoute() {
    if (!m_hostObject || m_thru.inputPort <= 0 || m_thru.outputPort <= 0)
        return;
    const int input = devicePort(kInput, m_thru.inputPort - 1);
    const int output = devicePort(kOutput, m_thru.outputPort - 1);
    // The host refuses ports that are not open; that is no error here.
    if (input > 0 && output > 0 && m_hostObject->addThruRoute(input, output)) {
        m_routeInput = input;
        m_routeOutput = output;
    }
}

// ---- The machine's ports change ---------------------------------------------------------------

QList<TVirtualMIDIPortAccessor::OpenPort>
TVirtualMIDIPortAccessor::selectedPorts(int direction) const {
    QList<OpenPort> ports;
    for (int index : m_currentSelection[direction])
        ports.append({systemId(direction, index), devicePort(direction, index)});
    return ports;
}

void TVirtualMIDIPortAccessor::updateSystemPorts() {
    if (!m_systemPorts)
        return;
    const QList<OpenPort> before[kDirections] = {selectedPorts(kInput), selectedPorts(kOutput)};
    // The route names device numbers, which may change with the list.
    removeThruRoute();
    m_systemPorts->rebuild();
    refreshSystemIds();
    for (int direction = kInput; direction < kDirections; ++direction) {
        followMovedPorts(direction, before[direction]);
        reopenReturnedPorts(direction);
    }
    // By id: a Thru port unplugged meanwhile routes again once it is back.
    ThruSettings thru = m_thru;
    thru.inputPort = systemIndex(kInput, m_thruIds[kInput]) + 1;
    thru.outputPort = systemIndex(kOutput, m_thruIds[kOutput]) + 1;
    routeThru(thru);
    replaceWorkspaceMaps(workspaceMapsOfOpenPorts());
    publishPortChange();
}

void TVirtualMIDIPortAccessor::reopenReturnedPorts(int direction) {
    if (!m_hostObject)
        return;
    QList<int>& selection = m_currentSelection[direction];
    for (const QUuid& documentId : std::as_const(m_workspacePorts[direction])) {
        const int index = systemIndex(direction, resolve(direction, documentId));
        if (index < 0 || selection.contains(index))
            continue;
        selection.append(index);
        const int port = devicePort(direction, index);
        if (!m_hostObject->isPortOpen(isOutput(direction), port) &&
            !m_hostObject->openPort(isOutput(direction), port))
            m_openFailure = true;
    }
    std::sort(selection.begin(), selection.end());
}

void TVirtualMIDIPortAccessor::followMovedPorts(int direction, const QList<OpenPort>& before) {
    if (!m_hostObject)
        return;
    const bool output = isOutput(direction);
    QList<int> selection;
    QList<int> toReopen;
    // All closes first: two ports may have swapped their numbers.
    for (const OpenPort& port : before) {
        const int index = systemIndex(direction, port.id);
        const bool open = m_hostObject->isPortOpen(output, port.devicePort);
        if (index < 0) {
            if (open)
                m_hostObject->closePort(output, port.devicePort);
            continue;
        }
        selection.append(index);
        if (open && devicePort(direction, index) != port.devicePort) {
            m_hostObject->closePort(output, port.devicePort);
            toReopen.append(index);
        }
    }
    for (int index : std::as_const(toReopen)) {
        if (!m_hostObject->openPort(output, devicePort(direction, index)))
            m_openFailure = true;
    }
    std::sort(selection.begin(), selection.end());
    m_currentSelection[direction] = selection;
}
