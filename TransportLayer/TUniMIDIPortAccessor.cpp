#include "TUniMIDIPortAccessor.h"

#include "GuidConversion.h"

#include <QSettings>
#include <dorvo/objbase.h>

namespace {

const QString kSystemPortsGroup = QStringLiteral("/preferences/SystemPorts/");

QString namesKey(int direction) {
    return kSystemPortsGroup + (direction == TMIDIPortAccessor::kInput
                                    ? QStringLiteral("Input/portNames")
                                    : QStringLiteral("Output/portNames"));
}

QString idsKey(int direction) {
    return kSystemPortsGroup + (direction == TMIDIPortAccessor::kInput
                                    ? QStringLiteral("Input/portIds")
                                    : QStringLiteral("Output/portIds"));
}

QUuid newPortId() {
    GUID guid;
    if (FAILED(CoCreateGuid(&guid)))
        return QUuid::createUuid();
    return uuidFromGuid(guid);
}

} // namespace

QString TUniMIDIPortAccessor::nameMarker(int direction) {
    return direction == kInput ? QStringLiteral("<[Inp]>") : QStringLiteral("<[Out]>");
}

void TUniMIDIPortAccessor::rebuild() {
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, kOrganisation, kProduct);
    // Only this user's store counts; a machine-wide file of the same name is not ours.
    settings.setFallbacksEnabled(false);
    for (int direction = kInput; direction < kDirections; ++direction)
        rebuildDirection(settings, direction);
}

TUniMIDIPortAccessor::StoredPorts TUniMIDIPortAccessor::readStoredPorts(QSettings& settings,
                                                                        int direction) {
    StoredPorts stored;
    if (settings.contains(namesKey(direction))) {
        stored.names = settings.value(namesKey(direction)).toStringList();
        stored.ids = settings.value(idsKey(direction)).toStringList();
        return stored;
    }
    // Never written by this product yet: take over what the earlier generation knew, so that
    // ports keep their identities across the upgrade. Writing goes to the current store only.
    QSettings legacy(QSettings::NativeFormat, QSettings::SystemScope, kLegacyOrganisation,
                     kLegacyProduct);
    legacy.setFallbacksEnabled(false);
    stored.names = legacy.value(namesKey(direction)).toStringList();
    stored.ids = legacy.value(idsKey(direction)).toStringList();
    return stored;
}

TUniMIDIPortAccessor::KnownPorts TUniMIDIPortAccessor::knownPortsOf(const StoredPorts& stored,
                                                                    const QString& marker) {
    KnownPorts known;
    if (stored.names.size() != stored.ids.size())
        return known;
    for (qsizetype i = 0; i < stored.names.size(); ++i) {
        const QUuid id(stored.ids.at(i));
        const QString& entry = stored.names.at(i);
        const qsizetype separator = entry.indexOf(u';');
        if (id.isNull() || separator < 0)
            return KnownPorts();
        // Everything behind the number is the name, even when the name has a ';' of its own:
        // cutting it there would give such a device a new identity on every run.
        QString name = entry.mid(separator + 1);
        name.remove(marker);
        known.names.append(name);
        known.ids.append(id);
    }
    return known;
}

void TUniMIDIPortAccessor::rebuildDirection(QSettings& settings, int direction) {
    const QString marker = nameMarker(direction);
    StoredPorts stored = readStoredPorts(settings, direction);
    KnownPorts known = knownPortsOf(stored, marker);
    if (known.names.isEmpty()) {
        stored.names.clear();
        stored.ids.clear();
    }

    QMap<QUuid, QString>& ports = m_ports[direction];
    ports.clear();
    const int count = deviceCount(direction);
    for (int index = 0; index < count; ++index) {
        const QString name = deviceName(direction, index);
        if (name.isEmpty())
            continue;
        const QString entry = entryText(index + 1, name);
        QUuid id;
        const qsizetype position = known.names.indexOf(name);
        if (position >= 0) {
            // Taken out, so that a second device of the same name gets the next id of that name.
            id = known.ids.takeAt(position);
            known.names.removeAt(position);
        } else {
            id = newPortId();
            stored.names.append(entry + marker);
            stored.ids.append(id.toString());
        }
        ports.insert(id, entry);
    }

    settings.setValue(namesKey(direction), stored.names);
    settings.setValue(idsKey(direction), stored.ids);
}
