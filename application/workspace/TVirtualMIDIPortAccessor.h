// The Workspace's view of the MIDI ports. Components see document port ids: the ids under which
// a workspace document names its ports, each of which resolves through a re-mapping table to one
// of the machine's ports. This accessor keeps, per direction, the Workspace's list of document
// port ids, their re-mapping, the machine's ports that are open for the Workspace (as positions
// in the machine's port list), and the MIDI Thru settings. Its own two maps (the base class's)
// hold what components list: document port id -> entry text of the open machine port it stands
// for.
//
// Everything here runs on the GUI thread, except that the host object may read the two maps
// from any thread (a component's GetPortList) while holding its port list lock; the maps are
// therefore only changed under that lock.
#pragma once

#include "TMIDIPortAccessor.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QUuid>
#include <array>
#include <functional>

class ClientIUnknown;

class TVirtualMIDIPortAccessor : public TMIDIPortAccessor {
public:
    // Positions in the machine's port list of one direction (0-based).
    using Selection = std::array<QList<int>, kDirections>;
    // A document port id -> machine port ids, most preferred first. A null first id assigns the
    // document port to no machine port.
    using RemapTable = QMap<QUuid, QList<QUuid>>;

    struct ThruSettings {
        bool on = false;
        // Position in the machine's port list + 1; 0 is no port.
        int inputPort = 0;
        int outputPort = 0;
    };

    // Whether applying a selection adds the newly chosen machine ports to the Workspace port
    // list and takes the dropped ones out of it (the setup dialog), or leaves the list as it
    // is (a document's ports, the re-mapping dialog).
    enum class WorkspaceList { Update, Keep };

    // GUI thread. `systemPorts` is the machine's accessor, already built; neither is owned and
    // both must outlive this object. The host object opens and closes the ports.
    TVirtualMIDIPortAccessor(ClientIUnknown* hostObject, TMIDIPortAccessor* systemPorts);
    ~TVirtualMIDIPortAccessor() override;

    TVirtualMIDIPortAccessor(const TVirtualMIDIPortAccessor&) = delete;
    TVirtualMIDIPortAccessor& operator=(const TVirtualMIDIPortAccessor&) = delete;

    // ---- The machine's ports ----

    // The machine's port ids in port number order, as of the last update.
    const QList<QUuid>& systemIds(int direction) const;
    // In the machine's port list of either direction.
    bool isPresent(const QUuid& id) const;
    // Position in the direction's machine port list; -1 when absent.
    int systemIndex(int direction, const QUuid& id) const;
    // The device port number the host object opens for that position; 0 when out of range.
    int devicePort(int direction, int index) const;
    TMIDIPortAccessor* systemPorts() const { return m_systemPorts; }
    ClientIUnknown* hostObject() const { return m_hostObject; }

    // ---- Document ports ----

    const QList<QUuid>& workspacePorts(int direction) const;
    void setWorkspacePorts(int direction, const QList<QUuid>& documentIds);
    const RemapTable& remapTable(int direction) const;
    void setRemapTable(int direction, const RemapTable& table);
    const QMap<QUuid, QString>& documentPortNames(int direction) const;
    void setDocumentPortNames(int direction, const QMap<QUuid, QString>& names);

    // The machine port the document port stands for, or the null id for none: with a
    // re-mapping entry whose first id is null, none; else the first id of the entry that is
    // present, which is moved to the front of the entry; else the document id itself. The
    // result is usable only when it is present.
    QUuid resolve(int direction, const QUuid& documentId);

    // ---- What the setup dialog shows ----

    // The ports opened for the Workspace, as positions in the machine's port list, ascending.
    const QList<int>& currentSelection(int direction) const;
    // A selected port could not be opened at the last apply.
    bool openFailure() const { return m_openFailure; }
    const ThruSettings& thruSettings() const { return m_thru; }
    // The machine port chosen for Thru in that direction, also while it is unplugged (its port
    // number is 0 then); null when none was chosen.
    QUuid thruPortId(int direction) const;
    // The machine port's name, followed by " [users]" when components use it.
    QString displayText(int direction, int index);
    QStringList displayTexts(int direction);

    // ---- Changing the Workspace's ports ----

    // Receives what the user should read about the ports (the window shows it); without a
    // handler such messages go to the log.
    void setWarningHandler(std::function<void(const QString&)> handler) {
        m_warningHandler = std::move(handler);
    }

    // The setup dialog's apply: the selection, then the Thru settings. True when the
    // selection changed.
    bool applyPortSelection(const Selection& selection, const ThruSettings& thru);
    // Closes the ports that are no longer selected and opens the selected ones that are not
    // open (also ones that failed before); the names of ports that cannot be opened go to the
    // warning handler in one message. Components see the new ports at once and are notified. True
    // when the selection changed.
    bool applySelection(const Selection& selection,
                        WorkspaceList workspaceList = WorkspaceList::Update,
                        bool forceRebuild = false);
    // Replaces the Thru route by the one of the settings (when both ports are chosen) and
    // switches Thru on or off.
    void applyThruSettings(const ThruSettings& thru);
    // The same by machine port ids; a port not present now is no port until it is plugged in.
    void applyThruPorts(bool on, const QUuid& input, const QUuid& output);
    // Re-reads the machine's ports. Ports that vanished are closed and leave the selection;
    // ports that moved to another device number are reopened under it; a Workspace port whose
    // device came back (plugged in again, found by its id) is opened again; the Thru route
    // follows its ports. Components get fresh lists and are notified.
    // Unlike a plain re-listing that would drop every re-mapping and reopen nothing, ports that a
    // document re-mapped stay open: re-listing must not take away ports the user still has.
    void updateSystemPorts();
    // Components see no ports until the next apply.
    void clearWorkspaceMaps();
    // What components are given for a document port: the entry text of the open machine port
    // it stands for; empty when the id is not one of the Workspace's open ports.
    QString workspaceEntryText(int direction, const QUuid& documentId) const;

private:
    using PortMaps = std::array<QMap<QUuid, QString>, kDirections>;

    void refreshSystemIds();
    QUuid systemId(int direction, int index) const;
    QString systemPortName(int direction, int index) const;
    bool isUsable(int direction, const QUuid& resolved) const;

    bool closeDeselected(int direction, const QList<int>& wanted, WorkspaceList workspaceList);
    bool addSelected(int direction, const QList<int>& wanted, WorkspaceList workspaceList);
    bool openSelected(int direction, QStringList& failedNames);
    void dropWorkspacePortsOf(int direction, const QUuid& systemPort);
    void joinWorkspacePorts(int direction, const QUuid& systemPort);
    void reportOpenFailures(const QStringList (&failedNames)[kDirections]);

    PortMaps workspaceMapsOfOpenPorts();
    void replaceWorkspaceMaps(PortMaps maps);
    void publishPortChange();

    void removeThruRoute();
    void addThruRoute();
    // The route and switch of the settings, without choosing other ports.
    void routeThru(const ThruSettings& thru);
    void reopenReturnedPorts(int direction);

    // What is open before the machine's ports are listed again.
    struct OpenPort {
        QUuid id;
        int devicePort = 0;
    };
    QList<OpenPort> selectedPorts(int direction) const;
    void followMovedPorts(int direction, const QList<OpenPort>& before);

    ClientIUnknown* const m_hostObject;
    std::function<void(const QString&)> m_warningHandler;
    TMIDIPortAccessor* const m_systemPorts;
    QList<QUuid> m_systemIds[kDirections];
    QList<QUuid> m_workspacePorts[kDirections];
    RemapTable m_remapTables[kDirections];
    QMap<QUuid, QString> m_documentPortNames[kDirections];
    bool m_openFailure = false;
    QList<int> m_currentSelection[kDirections];
    ThruSettings m_thru;
    QUuid m_thruIds[kDirections];
    // The device ports of the route made for the Thru settings; 0 when none was made.
    int m_routeInput = 0;
    int m_routeOutput = 0;
};
