// The machine's MIDI ports under identities that outlive a run: a device keeps its id as long as
// its name stays the same, whatever its position in the device list. The ids are kept in the
// per-user settings; devices no longer present keep theirs for when they come back. A derived
// class lists the devices.
#pragma once

#include "TMIDIPortAccessor.h"

#include <QStringList>

class QSettings;

class TUniMIDIPortAccessor : public TMIDIPortAccessor {
public:
    // Where the identities are kept, and where the earlier product generation kept them.
    static constexpr const char* kOrganisation = "QUENOR";
    static constexpr const char* kProduct = "Dorvo2";
    static constexpr const char* kLegacyOrganisation = "quenor.com";
    static constexpr const char* kLegacyProduct = "Quenor Dorvo";

    // What follows a stored port name of the direction: "<[Inp]>" or "<[Out]>".
    static QString nameMarker(int direction);

    // GUI thread: lists the devices again; known names get their stored ids, new ones new ids.
    void rebuild() override;
    virtual int deviceCount(int direction) = 0;
    // Empty when the device cannot be queried; such a device is not listed.
    virtual QString deviceName(int direction, int index) = 0;

private:
    struct StoredPorts {
        QStringList names; // entry texts with the direction's marker behind them
        QStringList ids;
    };
    struct KnownPorts {
        QStringList names;
        QList<QUuid> ids;
    };

    void rebuildDirection(QSettings& settings, int direction);
    static StoredPorts readStoredPorts(QSettings& settings, int direction);
    static KnownPorts knownPortsOf(const StoredPorts& stored, const QString& marker);
};
