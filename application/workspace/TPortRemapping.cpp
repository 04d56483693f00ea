#include "TPortRemapping.h"

#include <algorithm>

namespace {

constexpr int kIn = TMIDIPortAccessor::kInput;
constexpr int kOut = TMIDIPortAccessor::kOutput;

} // namespace

TPortRemapping::Lists TPortRemapping::prepare(int direction, Form form) {
    Lists lists;
    TMIDIPortAccessor* system = m_ports.systemPorts();
    for (const QUuid& id : m_ports.systemIds(direction))
        lists.systemNames.append(system ? system->portName(id) : QString());

    QList<QUuid> documentPorts = m_ports.workspacePorts(direction);
    if (form == Form::Normal && system) {
        QList<QPair<int, QUuid>> numbered;
        for (const QUuid& id : std::as_const(documentPorts))
            numbered.append({system->portNumber(m_ports.resolve(direction, id)), id});
        std::stable_sort(numbered.begin(), numbered.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        documentPorts.clear();
        for (const auto& entry : std::as_const(numbered))
            documentPorts.append(entry.second);
        m_ports.setWorkspacePorts(direction, documentPorts);
    }

    const QMap<QUuid, QString>& storedNames = m_ports.documentPortNames(direction);
    for (const QUuid& id : std::as_const(documentPorts)) {
        const QUuid resolved = m_ports.resolve(direction, id);
        const int index = m_ports.systemIndex(direction, resolved);
        lists.chosen.append(index);
        if (form == Form::AfterLoad)
            lists.documentNames.append(storedNames.value(id));
        else
            lists.documentNames.append(system ? system->portName(resolved) : QString());
    }
    return lists;
}

bool TPortRemapping::apply(const Choices& choices) {
    bool changed = false;
    TVirtualMIDIPortAccessor::Selection selection;
    for (int direction = kIn; direction <= kOut; ++direction) {
        const QList<QUuid> documentPorts = m_ports.workspacePorts(direction);
        const QList<int>& chosen = choices[direction];
        for (qsizetype row = 0; row < documentPorts.size() && row < chosen.size(); ++row)
            changed |= takeChoice(direction, documentPorts.at(row), chosen.at(row));
        changed |= dropUnresolved(direction, selection[direction]);
        m_ports.setDocumentPortNames(direction, {});
    }
    if (changed || m_ports.openFailure())
        m_ports.applySelection(selection, TVirtualMIDIPortAccessor::WorkspaceList::Keep, true);
    return changed;
}

bool TPortRemapping::applyQuietly() {
    Choices choices;
    for (int direction = kIn; direction <= kOut; ++direction)
        choices[direction] = prepare(direction, Form::AfterLoad).chosen;
    return apply(choices);
}

bool TPortRemapping::takeChoice(int direction, const QUuid& documentId, int chosen) {
    const QList<QUuid>& ids = m_ports.systemIds(direction);
    const QUuid target = chosen >= 0 && chosen < ids.size() ? ids.at(chosen) : QUuid();
    if (target == m_ports.resolve(direction, documentId))
        return false;
    TVirtualMIDIPortAccessor::RemapTable table = m_ports.remapTable(direction);
    const auto entry = table.find(documentId);
    if (entry == table.end()) {
        table.insert(documentId, {target});
    } else {
        // The port the entry stood for until now gives way to the choice; ports further back
        // stay as the next preferences.
        if (!entry->isEmpty() && (entry->first().isNull() || m_ports.isPresent(entry->first())))
            entry->removeFirst();
        if (target != documentId)
            entry->prepend(target);
        else if (entry->isEmpty())
            table.erase(entry);
    }
    m_ports.setRemapTable(direction, table);
    return true;
}

bool TPortRemapping::dropUnresolved(int direction, QList<int>& selection) {
    QList<QUuid> kept;
    QList<QUuid> dropped;
    for (const QUuid& id : m_ports.workspacePorts(direction)) {
        const int index = m_ports.systemIndex(direction, m_ports.resolve(direction, id));
        if (index < 0) {
            dropped.append(id);
            continue;
        }
        kept.append(id);
        if (!selection.contains(index))
            selection.append(index);
    }
    std::sort(selection.begin(), selection.end());
    if (dropped.isEmpty())
        return false;
    TVirtualMIDIPortAccessor::RemapTable table = m_ports.remapTable(direction);
    for (const QUuid& id : std::as_const(dropped))
        table.remove(id);
    m_ports.setRemapTable(direction, table);
    m_ports.setWorkspacePorts(direction, kept);
    return true;
}
