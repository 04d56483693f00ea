// The host object: the one aggregate per Workspace window that every component receives when
// it is connected. Its services (asynchronous output, client services, time information, the
// Qt-host marker and the connection points) are inner objects that share its identity and its
// reference count; the object lives as long as anybody holds one of them.
#pragma once

#include "ClientIConnectionPointContainer.h"
#include "ClientIMPQTBasedHost.h"
#include "ClientIMPTimeInfo.h"
#include "TInnerObject.h"
#include "TWorkspaceComponents.h"

#include <dorvo/dorvo2.h>

#include <QRecursiveMutex>
#include <memory>

class TVirtualMIDIPortAccessor;

class ClientIUnknown : public TInnerObject<IUnknown, IID_IUnknown> {
public:
    // The service objects that the port services bring; until they exist these members stay
    // null and every step that concerns them is skipped.
    using AsyncOutputObject = TInnerObject<IMPAsyncOutput, IID_IMPAsyncOutput>;
    using ClientServicesObject = TInnerObject<IMPClientServices2, IID_IMPClientServices2>;

    // GUI thread. Count 1, no outer object.
    ClientIUnknown();

    // Any thread: IUnknown gives the host object itself; then the services in a fixed order
    // (asynchronous output, client services under both of their identifiers, Qt-host marker,
    // time information, connection points).
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;

    // GUI thread: calls OnNotify of every sink advised on the notification point, in advise
    // order, ignoring their results. E_FAIL without that point.
    HRESULT Notify(const MPNOTIFICATION* notification);

    // GUI thread: the window that owns this object; set after construction, cleared first on
    // the window's destruction.
    void setWorkspaceWindow(TWorkspaceComponents* window) { m_workspaceWindow = window; }
    TWorkspaceComponents* workspaceWindow() const { return m_workspaceWindow; }

    // GUI thread: the Workspace's view of the ports, which the window creates and sets; null
    // until then.
    void setPortListSource(TVirtualMIDIPortAccessor* source) { m_portListSource = source; }
    TVirtualMIDIPortAccessor* portListSource() const { return m_portListSource; }

    // The services, without references; null when one could not be made.
    AsyncOutputObject* asyncOutput() const { return m_asyncOutput; }
    ClientServicesObject* clientServices() const { return m_clientServices; }
    ClientIMPTimeInfo* timeInfo() const { return m_timeInfo; }
    ClientIMPQTBasedHost* qtBasedHost() const { return m_qtBasedHost; }
    ClientIConnectionPointContainer* connectionPointContainer() const { return m_container; }

    // Guards the output map and the output lock map; taken after a port's own lock. Null when
    // it could not be made, and every port operation then fails.
    QRecursiveMutex* portMapLock() const { return m_portMapLock.get(); }
    // Guards the cached port lists; taken after the client services' lock.
    QRecursiveMutex* portListLock() const { return m_portListLock.get(); }

    // The port lists handed to components, per direction (0 input, any other value output);
    // an empty list has not been read yet. Call under the port list lock.
    MPPORTLIST& cachedPortList(DWORD direction) { return m_cachedPortLists[direction ? 1 : 0]; }
    // Frees both cached lists (every name, then the array), so that the next reader reads
    // fresh ones. Takes the port list lock when there is one.
    void freeCachedPortLists();

protected:
    // Runs when the last reference goes: the window released it, and no component holds a
    // service any more.
    ~ClientIUnknown() override;

private:
    void createServices();
    void releaseServices();
    static void freePortList(MPPORTLIST& list);

    TWorkspaceComponents* m_workspaceWindow = nullptr;
    TVirtualMIDIPortAccessor* m_portListSource = nullptr;

    // One reference each, held by this object.
    AsyncOutputObject* m_asyncOutput = nullptr;
    ClientServicesObject* m_clientServices = nullptr;
    ClientIMPTimeInfo* m_timeInfo = nullptr;
    ClientIMPQTBasedHost* m_qtBasedHost = nullptr;
    ClientIConnectionPointContainer* m_container = nullptr;

    std::unique_ptr<QRecursiveMutex> m_portMapLock;
    std::unique_ptr<QRecursiveMutex> m_portListLock;
    MPPORTLIST m_cachedPortLists[2] = {{0, nullptr}, {0, nullptr}};

    // The open ports and thru routes (input map, output map, output lock map, thru map) and the
    // machine's port accessor belong here; they come with the port services.
};
