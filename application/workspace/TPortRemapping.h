// Choosing, per document port, the machine port it stands for: the lists the re-mapping dialog
// shows and the choices taken back into the Workspace port accessor's re-mapping tables. GUI
// thread.
#pragma once

#include "TVirtualMIDIPortAccessor.h"

#include <QList>
#include <QStringList>
#include <array>

class TPortRemapping {
public:
    // After a load whose ports were not all found, the document's own port names are shown;
    // otherwise the names of the machine ports the document ports stand for, in their order.
    enum class Form { Normal, AfterLoad };

    // What one direction's table shows. Row i is the Workspace port list's entry i.
    struct Lists {
        QStringList systemNames;
        QStringList documentNames;
        // Per row: position in the machine port list, -1 for none.
        QList<int> chosen;
    };
    using Choices = std::array<QList<int>, TMIDIPortAccessor::kDirections>;

    // The accessor is not owned and must outlive this object.
    explicit TPortRemapping(TVirtualMIDIPortAccessor& ports) : m_ports(ports) {}

    // The normal form first puts the Workspace port list in the order of the machine ports the
    // document ports stand for.
    Lists prepare(int direction, Form form);
    // Takes the choices (per direction, per row of the lists prepared last) into the
    // re-mapping tables; document ports left without a machine port leave the Workspace. The
    // ports are opened again when anything changed or a port failed to open before. True when
    // anything changed.
    bool apply(const Choices& choices);
    // A load without the dialog: every document port keeps what it resolves to, and those
    // that resolve to no machine port leave the Workspace.
    bool applyQuietly();

private:
    bool takeChoice(int direction, const QUuid& documentId, int chosen);
    bool dropUnresolved(int direction, QList<int>& selection);

    TVirtualMIDIPortAccessor& m_ports;
};
