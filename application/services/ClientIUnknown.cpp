#include "ClientIUnknown.h"

#include "ClientIConnectionPoint.h"
#include "DorvoAssert.h"

#include "MIDIThroughFilter.h"
#include "TAppMIDIIn.h"
#include "TAppMIDIOut.h"
#include "TWinMIDIPortAccessor.h"

#include <new>
#include <vector>

ClientIUnknown::ClientIUnknown(PortOwner owner) : TInnerObject(nullptr), m_portOwner(owner) {
    m_portMapLock.reset(new (std::nothrow) std::recursive_mutex);
    m_portListLock.reset(new (std::nothrow) std::recursive_mutex);
    createServices();
    if (m_container) {
        m_container->AddConnectionPoint(&IID_IMPNotificationSink);
        // Nothing is ever sent on the second point; components may still advise on it.
        m_container->AddConnectionPoint(&IID_IMPSecondarySink);
    }
    // The port list source stays null until the window sets it.
    if (ownsMachinePorts())
        createMachinePortAccessor();
}

HRESULT ClientIUnknown::connect(IUnknown* outerHost, IMPAsyncOutput* outerOutput) {
    if (ownsMachinePorts())
        return E_UNEXPECTED;
    if (m_asyncOutput)
        m_asyncOutput->connect(outerOutput);
    if (m_clientServices)
        m_clientServices->connect(outerHost);
    if (m_timeInfo)
        m_timeInfo->connect(outerHost);
    if (m_clientInfo)
        m_clientInfo->connect(outerHost);
    return S_OK;
}

TMIDIPortAccessor* ClientIUnknown::machinePortAccessor() const {
    if (ownsMachinePorts())
        return m_machinePortAccessor.get();
    return m_clientServices ? m_clientServices->outerPorts() : nullptr;
}

void ClientIUnknown::setPortIdentities(int direction, const QMap<QUuid, QUuid>& outerToComponent) {
    if (!ownsMachinePorts() && m_clientServices)
        m_clientServices->setPortIdentities(direction, outerToComponent);
}

void ClientIUnknown::createServices() {
    m_asyncOutput = new (std::nothrow) ClientIMPAsyncOutput(this);
    m_clientServices = new (std::nothrow) ClientIMPClientServices(this);
    m_timeInfo = new (std::nothrow) ClientIMPTimeInfo(this);
    if (!ownsMachinePorts())
        m_clientInfo = new (std::nothrow) ClientIMPClientInfo(this);
    m_qtBasedHost = new (std::nothrow) ClientIMPQTBasedHost(this);
    m_container = new (std::nothrow) ClientIConnectionPointContainer(this);
}

void ClientIUnknown::createMachinePortAccessor() {
    // Lists the devices at once. Without it the host goes on: the ports it cannot list are
    // simply not offered.
    m_machinePortAccessor.reset(new (std::nothrow) TWinMIDIPortAccessor);
    DORVO_CHECK_TEXT(m_machinePortAccessor, "uniPortAccessor");
}

ClientIUnknown::~ClientIUnknown() {
    m_workspaceWindow = nullptr;
    closeAllPorts();
    destroyPortLocks();
    freeCachedPortLists();
    m_machinePortAccessor.reset();
    m_portListLock.reset();
    // The inputs are closed: no delivery reaches a thru filter any more.
    releaseThruFilters();
    releaseServices();
}

void ClientIUnknown::releaseServices() {
    // This object's count is zero now, so each inner object frees itself on this release.
    auto release = [](auto*& inner) {
        if (inner)
            inner->Release();
        inner = nullptr;
    };
    release(m_container);
    release(m_qtBasedHost);
    release(m_clientInfo);
    release(m_timeInfo);
    release(m_clientServices);
    release(m_asyncOutput);
}

HRESULT ClientIUnknown::QueryInterface(REFIID iid, void** out) {
    if (!DORVO_CHECK(out))
        return E_POINTER;
    *out = nullptr;
    if (IsEqualIID(iid, IID_IUnknown)) {
        *out = static_cast<IUnknown*>(this);
        AddRef();
        return S_OK;
    }
    if (answeredBy(m_asyncOutput, iid, out) || answeredBy(m_clientServices, iid, out))
        return S_OK;
    if (m_clientServices && IsEqualIID(iid, IID_IMPClientServices)) {
        *out = static_cast<IMPClientServices*>(m_clientServices->interfacePointer());
        AddRef();
        return S_OK;
    }
    if (answeredBy(m_qtBasedHost, iid, out) || answeredBy(m_timeInfo, iid, out) ||
        answeredBy(m_clientInfo, iid, out) || answeredBy(m_container, iid, out))
        return S_OK;
    *out = nullptr;
    return E_NOINTERFACE;
}

HRESULT ClientIUnknown::Notify(const MPNOTIFICATION* notification) {
    // A sink would read the record; a missing one must not reach the components.
    if (!DORVO_CHECK(notification))
        return E_POINTER;
    // Components that ask for their ports when they hear of the change find the new names.
    if (!ownsMachinePorts() && m_clientServices &&
        IsEqualGUID(notification->id, GUID_MPPortListChanged))
        m_clientServices->refreshPortNames();
    ClientIConnectionPoint* point =
        m_container ? m_container->pointFor(IID_IMPNotificationSink) : nullptr;
    if (!point)
        return E_FAIL;
    // A sink may unadvise (itself or another) while it is notified: the calls go to the sinks
    // advised when the notification started, each kept alive until its call returned.
    std::vector<IUnknown*> sinks;
    sinks.reserve(point->connections().size());
    for (const ClientIConnectionPoint::Connection& connection : point->connections()) {
        connection.sink->AddRef();
        sinks.push_back(connection.sink);
    }
    for (IUnknown* sink : sinks) {
        static_cast<IMPNotificationSink*>(sink)->OnNotify(notification);
        sink->Release();
    }
    return S_OK;
}

void ClientIUnknown::freeCachedPortLists() {
    std::unique_lock<std::recursive_mutex> lock;
    if (m_portListLock)
        lock = std::unique_lock<std::recursive_mutex>(*m_portListLock);
    freePortList(m_cachedPortLists[0]);
    freePortList(m_cachedPortLists[1]);
}

const MPPORTLIST& ClientIUnknown::filledPortList(DWORD direction) {
    MPPORTLIST& list = cachedPortList(direction);
    if (list.count == 0 && m_portListSource) {
        freePortList(list);
        m_portListSource->fillPortData(
            direction ? TMIDIPortAccessor::kOutput : TMIDIPortAccessor::kInput, &list);
    }
    return list;
}

void ClientIUnknown::portListChanged() {
    freeCachedPortLists();
    MPNOTIFICATION notification{};
    notification.id = GUID_MPPortListChanged;
    Notify(&notification);
}

void ClientIUnknown::freePortList(MPPORTLIST& list) {
    if (list.ports) {
        for (DWORD i = 0; i < list.count; ++i)
            CoTaskMemFree(list.ports[i].name);
        CoTaskMemFree(list.ports);
    }
    list.count = 0;
    list.ports = nullptr;
}
