// The client services of the component build: what they take from and pass on to the outer
// application's services.
#include "ClientIMPClientServices.h"

#include "ClientIUnknown.h"
#include "GuidConversion.h"
#include "InterfaceReference.h"
#include "WideText.h"

#include <new>

namespace {

void freeOuterList(MPPORTLIST& list) {
    if (list.ports) {
        for (DWORD i = 0; i < list.count; ++i)
            CoTaskMemFree(list.ports[i].name);
        CoTaskMemFree(list.ports);
    }
    list = MPPORTLIST{0, nullptr};
}

int directionIndex(DWORD direction) {
    return direction ? 1 : 0;
}

} // namespace

HRESULT ClientIMPClientServices::connect(IUnknown* outerHost) {
    if (!m_servicesLock)
        return E_OUTOFMEMORY;
    std::lock_guard<std::recursive_mutex> lock(*m_servicesLock);
    releaseOuterServices();
    // A reconnect starts afresh; the outer application forgot the old uses with the old
    // connection.
    m_registry.clear();
    if (!m_proxyPorts) {
        m_proxyPorts.reset(new (std::nothrow) TProxyMIDIPortAccessor(
            *m_servicesLock, [this] { refreshPortNames(); }));
        if (!m_proxyPorts)
            return E_OUTOFMEMORY;
    }
    HRESULT result = S_OK;
    if (outerHost) {
        result = outerHost->QueryInterface(IID_IMPClientServices2,
                                           reinterpret_cast<void**>(&m_outerServices2));
        if (FAILED(result)) {
            m_outerServices2 = nullptr;
            result = outerHost->QueryInterface(IID_IMPClientServices,
                                               reinterpret_cast<void**>(&m_outerServices));
            if (FAILED(result))
                m_outerServices = nullptr;
        }
    }
    refreshPortNames();
    return result;
}

void ClientIMPClientServices::releaseOuterServices() {
    dorvo::releaseReference(m_outerServices);
    dorvo::releaseReference(m_outerServices2);
}

IMPClientServices* ClientIMPClientServices::activeOuterServices() const {
    if (m_outerServices2)
        return m_outerServices2;
    return m_outerServices;
}

void ClientIMPClientServices::refreshPortNames() {
    if (!m_servicesLock)
        return;
    std::lock_guard<std::recursive_mutex> lock(*m_servicesLock);
    IMPClientServices* outer = activeOuterServices();
    if (!outer || !m_proxyPorts)
        return;
    for (DWORD direction : {DWORD(0), DWORD(1)}) {
        MPPORTLIST list{0, nullptr};
        if (FAILED(outer->GetPortList(direction, &list)))
            list = MPPORTLIST{0, nullptr};
        m_proxyPorts->takePortList(int(direction), list);
        freeOuterList(list);
    }
}

HRESULT ClientIMPClientServices::outerPortList(DWORD direction, MPPORTLIST* list) {
    if (!m_servicesLock)
        return E_OUTOFMEMORY;
    IMPClientServices* outer = activeOuterServices();
    if (!outer)
        return E_NOTIMPL;
    const HRESULT result = outer->GetPortList(direction, list);
    if (FAILED(result) || !list || list->count == 0)
        return result;
    std::lock_guard<std::recursive_mutex> lock(*m_servicesLock);
    const QMap<QUuid, QUuid>& identities = m_portIdentities[directionIndex(direction)];
    for (DWORD i = 0; list->ports && i < list->count; ++i) {
        const auto known = identities.constFind(uuidFromGuid(list->ports[i].portId));
        if (known != identities.cend())
            list->ports[i].portId = guidFromUuid(known.value());
    }
    return result;
}

void ClientIMPClientServices::setPortIdentities(int direction,
                                                const QMap<QUuid, QUuid>& outerToComponent) {
    if (!m_servicesLock)
        return;
    std::lock_guard<std::recursive_mutex> lock(*m_servicesLock);
    m_portIdentities[directionIndex(DWORD(direction))] = outerToComponent;
}

bool ClientIMPClientServices::isOuterPort(DWORD direction, const GUID& portId) const {
    const QUuid id = uuidFromGuid(portId);
    const int index = directionIndex(direction);
    return m_portIdentities[index].key(id, QUuid()) != QUuid() ||
           (m_proxyPorts && m_proxyPorts->knows(index, id));
}

GUID ClientIMPClientServices::outerIdentity(const GUID& portId) const {
    const QUuid id = uuidFromGuid(portId);
    for (const QMap<QUuid, QUuid>& identities : m_portIdentities) {
        const QUuid outer = identities.key(id, QUuid());
        if (!outer.isNull())
            return guidFromUuid(outer);
    }
    return portId;
}

QString ClientIMPClientServices::componentName(const IUnknown* component) const {
    TWorkspaceComponents* window = m_host ? m_host->workspaceWindow() : nullptr;
    if (!window)
        return QString();
    return window->componentInstanceName(component).value_or(QString());
}

HRESULT ClientIMPClientServices::passOnPortUsage(DWORD operation, const PortUse& use,
                                                 IUnknown* component) {
    if (!m_outerServices2)
        return S_OK;
    LPWSTR label = nullptr;
    if (operation != MPPORTUSAGE_REMOVE) {
        QString text = componentName(component);
        if (!use.name.isEmpty())
            text += QLatin1Char(' ') + use.name;
        label = dorvo::taskAllocatedText(text);
        if (!label)
            return E_OUTOFMEMORY;
    }
    const GUID outerId = outerIdentity(use.portId);
    const HRESULT result =
        m_outerServices2->SetPortUsage(operation, &outerId, label, use.value, component, use.index);
    CoTaskMemFree(label);
    return result;
}

void ClientIMPClientServices::renameComponentPorts(const IUnknown* component) {
    if (!m_servicesLock)
        return;
    std::lock_guard<std::recursive_mutex> lock(*m_servicesLock);
    const auto registered = m_registry.find(component);
    if (registered == m_registry.end() || !m_outerServices2)
        return;
    for (const PortUse& use : registered->second)
        passOnPortUsage(MPPORTUSAGE_RENAME, use, const_cast<IUnknown*>(component));
}

bool ClientIMPClientServices::isPortUsed(const GUID& portId) {
    if (!m_servicesLock)
        return false;
    std::lock_guard<std::recursive_mutex> lock(*m_servicesLock);
    for (const auto& [component, uses] : m_registry)
        for (const PortUse& use : uses)
            if (IsEqualGUID(use.portId, portId))
                return true;
    return false;
}
