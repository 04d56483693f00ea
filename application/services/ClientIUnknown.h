// The host object: the one aggregate per Workspace window that every component receives when
// it is connected. Its services (asynchronous output, client services, time information, the
// Qt-host marker and the connection points) are inner objects that share its identity and its
// reference count; the object lives as long as anybody holds one of them. It also owns the
// Workspace's open MIDI ports and the MIDI Thru routes between them.
//
// In the component build the outer application owns the ports: the host object is made for it
// and connected to it, its services pass their calls on, an open input is fed by the outer
// application, and what goes out goes to the outer application's output.
#pragma once

#include "ClientIConnectionPointContainer.h"
#include "ClientIMPAsyncOutput.h"
#include "ClientIMPClientInfo.h"
#include "ClientIMPClientServices.h"
#include "ClientIMPQTBasedHost.h"
#include "ClientIMPTimeInfo.h"
#include "TInnerObject.h"
#include "TWorkspaceComponents.h"

#include <dorvo/dorvo2.h>

#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <vector>

class MIDIThroughFilter;
class TAppMIDIIn;
class TAppMIDIOut;
class TMIDIPortAccessor;

class ClientIUnknown : public TInnerObject<IUnknown, IID_IUnknown> {
public:
    using AsyncOutputObject = ClientIMPAsyncOutput;
    using ClientServicesObject = ClientIMPClientServices;

    enum class PortOwner { Machine, OuterApplication };

    // GUI thread. Count 1, no outer object. With the machine's ports: lists them at once; with
    // an outer application's: nothing until connect.
    explicit ClientIUnknown(PortOwner owner = PortOwner::Machine);

    // GUI thread, before any component is connected (outer application's ports only): the
    // output goes to the asynchronous output, the host object to the client services, the time
    // information and the client information, in that order. S_OK.
    HRESULT connect(IUnknown* outerHost, IMPAsyncOutput* outerOutput);
    bool ownsMachinePorts() const { return m_portOwner == PortOwner::Machine; }

    // Any thread: IUnknown gives the host object itself; then the services in a fixed order
    // (asynchronous output, client services under both of their identifiers, Qt-host marker,
    // time information, connection points).
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;

    // GUI thread: calls OnNotify of every sink advised on the notification point, in advise
    // order, ignoring their results. E_FAIL without that point. With an outer application's
    // ports, a port list change first reads the port names again.
    HRESULT Notify(const MPNOTIFICATION* notification);

    // GUI thread: the window that owns this object; set after construction, cleared first on
    // the window's destruction.
    void setWorkspaceWindow(TWorkspaceComponents* window) { m_workspaceWindow = window; }
    TWorkspaceComponents* workspaceWindow() const { return m_workspaceWindow; }

    // GUI thread: the Workspace's view of the ports, which the window creates and sets; null
    // until then. The ports that components list come from it.
    void setPortListSource(TMIDIPortAccessor* source) { m_portListSource = source; }
    TMIDIPortAccessor* portListSource() const { return m_portListSource; }
    // The ports beneath the Workspace's: the machine's own, or the outer application's; null
    // when the accessor could not be made.
    TMIDIPortAccessor* machinePortAccessor() const;
    // GUI thread, with an outer application's ports: the ids under which components know the
    // outer ports that the Workspace re-maps (outer id -> the document's id), per direction.
    void setPortIdentities(int direction, const QMap<QUuid, QUuid>& outerToComponent);

    // The services, without references; null when one could not be made.
    AsyncOutputObject* asyncOutput() const { return m_asyncOutput; }
    ClientServicesObject* clientServices() const { return m_clientServices; }
    ClientIMPTimeInfo* timeInfo() const { return m_timeInfo; }
    // Only with an outer application's ports.
    ClientIMPClientInfo* clientInfo() const { return m_clientInfo; }
    ClientIMPQTBasedHost* qtBasedHost() const { return m_qtBasedHost; }
    ClientIConnectionPointContainer* connectionPointContainer() const { return m_container; }

    // Guards the output map and the output lock map; taken after a port's own lock. Null when
    // it could not be made, and every output port operation then fails.
    std::recursive_mutex* portMapLock() const { return m_portMapLock.get(); }
    // Guards the cached port lists; taken after the client services' lock.
    std::recursive_mutex* portListLock() const { return m_portListLock.get(); }

    // The port lists handed to components, per direction (0 input, any other value output);
    // an empty list has not been read yet. Call under the port list lock.
    MPPORTLIST& cachedPortList(DWORD direction) { return m_cachedPortLists[direction ? 1 : 0]; }
    // As cachedPortList, first read from the port list source when empty.
    const MPPORTLIST& filledPortList(DWORD direction);
    // Frees both cached lists (every name, then the array), so that the next reader reads
    // fresh ones. Takes the port list lock when there is one.
    void freeCachedPortLists();
    // GUI thread, after the Workspace's ports were updated: components read fresh port lists
    // from now on and are told that the list changed.
    void portListChanged();

    // ---- Ports (opened, closed and routed on the GUI thread) ----

    // true when the port is open afterwards; port 0 never opens. A new input receives the
    // event filter of every component of the Workspace.
    bool openPort(bool isOutput, int port);
    void closePort(bool isOutput, int port);
    bool isPortOpen(bool isOutput, int port);
    // Any thread: sends to the output port the event names. S_OK without sending when bit 0
    // of flags is clear; E_FAIL when the port is not open; E_POINTER for a null event.
    // Whether the event converted and went out is not reported.
    HRESULT sendEvent(const MPEVENT* event, DWORD flags);
    // Any thread (the component build's event pusher): an event that the outer application
    // received, handed to the components on the open input its port names, as if that input
    // had received it; nothing when that input is not open.
    void receiveForeignEvent(MPEVENT* event);
    // Adds the filter to, or removes it from, every open input.
    void registerEventFilter(IMPEventFilter* filter);
    void removeEventFilter(IMPEventFilter* filter);

    // ---- MIDI Thru (GUI thread) ----

    // false unless both ports are open.
    bool addThruRoute(int inPort, int outPort);
    // Sends all notes off to the route's output before it goes; always true.
    bool removeThruRoute(int inPort, int outPort);
    // Stops and resumes every route of an open input; the routes are kept.
    void thruOff();
    void thruOn();
    // 0 keeps each event's channel, 1-16 converts to channel value - 1; larger values keep
    // the current setting. Routes of inputs that are not open are left as they are. The
    // outputs hear all notes off; one that carries a long message (a component's dump) hears
    // them once it is done, without the GUI thread waiting for it.
    void setThruChannel(DWORD channel);

protected:
    // Runs when the last reference goes: the window released it, and no component holds a
    // service any more.
    ~ClientIUnknown() override;

private:
    using PortLock = std::recursive_mutex;

    void createServices();
    void createMachinePortAccessor();
    void releaseServices();
    void closeAllPorts();
    void destroyPortLocks();
    void releaseThruFilters();
    static void freePortList(MPPORTLIST& list);

    bool openInputPort(int port);
    bool openOutputPort(int port);
    void closeInputPort(int port);
    void closeOutputPort(int port);
    // Under the port map lock.
    PortLock* portLockOf(int port);
    TAppMIDIIn* inputOf(int port) const;
    // All notes off to each port that is free now; the others are tried again shortly.
    void sendNotesOffWhenFree(std::vector<DWORD> ports);
    // False, sending nothing, while another sender holds the port.
    bool sendNotesOffIfFree(DWORD port);
    MIDIThroughFilter* thruFilterOf(int port) const;
    void dropThruFilter(int inPort);

    const PortOwner m_portOwner;
    TWorkspaceComponents* m_workspaceWindow = nullptr;
    TMIDIPortAccessor* m_portListSource = nullptr;
    std::unique_ptr<TMIDIPortAccessor> m_machinePortAccessor;

    // One reference each, held by this object.
    AsyncOutputObject* m_asyncOutput = nullptr;
    ClientServicesObject* m_clientServices = nullptr;
    ClientIMPTimeInfo* m_timeInfo = nullptr;
    ClientIMPClientInfo* m_clientInfo = nullptr;
    ClientIMPQTBasedHost* m_qtBasedHost = nullptr;
    ClientIConnectionPointContainer* m_container = nullptr;

    std::unique_ptr<std::recursive_mutex> m_portMapLock;
    std::unique_ptr<std::recursive_mutex> m_portListLock;
    MPPORTLIST m_cachedPortLists[2] = {{0, nullptr}, {0, nullptr}};

    // Inputs and thru routes change and are read on the GUI thread only; the receive threads
    // reach an input through its transport and a route through its filter.
    std::map<int, std::unique_ptr<TAppMIDIIn>> m_inputs;
    // Changed on the GUI thread only; guards the map against the component build's pusher.
    std::recursive_mutex m_inputMapLock;
    // Under the port map lock. A port's lock stays when the port closes, so that a sender that
    // found it can still take it; all go with the host object.
    std::map<int, std::unique_ptr<TAppMIDIOut>> m_outputs;
    std::map<int, std::unique_ptr<PortLock>> m_outputLocks;
    // One reference on each filter.
    std::map<int, MIDIThroughFilter*> m_thruFilters;
    // With an outer application's ports: the outputs the Workspace opened, under the port map
    // lock; what is sent goes to the outer application.
    std::set<int> m_outerOutputs;
};
