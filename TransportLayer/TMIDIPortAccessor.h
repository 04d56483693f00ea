// A per-direction table of MIDI ports: for each port identity the entry text "number;name".
// Direction 0 is input, 1 is output; every per-direction table is indexed that way.
#pragma once

#include <QList>
#include <QMap>
#include <QString>
#include <QUuid>
#include <dorvo/dorvo2.h>

class TMIDIPortAccessor {
public:
    static constexpr int kInput = 0;
    static constexpr int kOutput = 1;
    static constexpr int kDirections = 2;

    virtual ~TMIDIPortAccessor();

    // The direction's ids in increasing port number; entries without a name field are left out.
    virtual void portIds(int direction, QList<QUuid>& ids);
    // The entry text of the id (input ports first); an unknown id gives "0;<unknown port name>".
    virtual QString portEntry(const QUuid& id);
    virtual QString portName(const QUuid& id);
    // 0 for an unknown id.
    virtual int portNumber(const QUuid& id);
    // A task-allocated list of the direction's ports in increasing port number; the receiver
    // frees every name and the array.
    virtual void fillPortData(int direction, MPPORTLIST* pPortData);
    virtual void rebuild();

    // "number;name".
    static QString entryText(int portNumber, const QString& name);
    static QString unknownEntryText();

protected:
    static bool isDirection(int direction) { return direction == kInput || direction == kOutput; }

    QMap<QUuid, QString> m_ports[kDirections];
};
