// The Workspace's MIDI ports as a workspace document holds them: the re-mapping tables and the
// port lists written from the Workspace port accessor, and a document's port section taken
// back into it; the same for the MIDI Thru settings. GUI thread.
#pragma once

#include "TVirtualMIDIPortAccessor.h"
#include "TWorkspaceDocument.h"

#include <QStringList>
#include <array>

class TDocumentPortSection {
public:
    // The names of the document ports that could not be given a machine port, per direction.
    using MissingPorts = std::array<QStringList, TMIDIPortAccessor::kDirections>;

    // The accessor is not owned and must outlive this object.
    explicit TDocumentPortSection(TVirtualMIDIPortAccessor& ports) : m_ports(ports) {}

    // The Workspace's ports with their re-mapping entries and their texts.
    xdw::PortSection write();
    // The Workspace's port list and re-mapping from the document. When every document port
    // finds its own machine port, the ports are opened for the Workspace (ports that cannot be
    // opened are reported through the accessor) and nothing is missing; otherwise the
    // components see no ports until the re-mapping and the missing ports' names are given.
    MissingPorts read(const xdw::PortSection& section);
    // "Following MIDI port(s) could not be found." with the names per direction; empty when
    // nothing is missing.
    static QString missingPortsText(const MissingPorts& missing);

    xdw::ThruSection writeThru();
    // Applies the document's Thru settings; a port not present here is no port.
    void readThru(const xdw::ThruSection& thru);

private:
    QString portText(int direction, const QUuid& documentId);
    void readDirection(int direction, const xdw::PortSection& section, QStringList& missing,
                       QList<int>& selection);

    TVirtualMIDIPortAccessor& m_ports;
};
