// The client services: the Workspace's MIDI ports as components see them, and the registry of
// which component uses which port, under which name and under which number of its own. The
// Workspace window reads the registry to name a port's users and empties a component's part of
// it when the component goes.
//
// In the component build the services are connected to the outer application's: port lists come
// from there (and fill the port accessor beneath the Workspace's ports), and every change of a
// port use is passed on, labelled with the component's name. The registry stays here as well.
#pragma once

#include "TInnerObject.h"
#include "TProxyMIDIPortAccessor.h"

#include <dorvo/dorvo2.h>

#include <QMap>
#include <QString>
#include <QUuid>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

class ClientIUnknown;

class ClientIMPClientServices : public TInnerObject<IMPClientServices2, IID_IMPClientServices2> {
public:
    // host may be null: GetPortList then answers E_OUTOFMEMORY and SetPortUsage E_FAIL.
    explicit ClientIMPClientServices(ClientIUnknown* host);
    explicit ClientIMPClientServices(std::nullptr_t);
    ~ClientIMPClientServices() override;

    // ---- The component build ----

    // Releases the outer services held before and forgets every port use without telling the
    // outer application; then takes the outer host object's second-version services, or else
    // its first-version ones, and reads the port names. The result of the last lookup; a null
    // host leaves the services disconnected (but still passing on: nothing is answered here).
    HRESULT connect(IUnknown* outerHost);
    bool isConnectedToOuter() const { return m_proxyPorts != nullptr; }
    // The outer application's ports, beneath the Workspace's; null unless connected.
    TProxyMIDIPortAccessor* outerPorts() const { return m_proxyPorts.get(); }
    // Any thread: reads both port lists of the outer application into the accessor.
    void refreshPortNames();
    // GUI thread: the ids under which components know the outer ports that the Workspace's
    // documents re-map (outer id -> the document's id), per direction.
    void setPortIdentities(int direction, const QMap<QUuid, QUuid>& outerToComponent);
    // The component got a new name: every use of a port is passed on again under it.
    void renameComponentPorts(const IUnknown* component);
    bool isPortUsed(const GUID& portId);

    // Any thread: a copy of the Workspace's ports of one direction (0 inputs, any other value
    // outputs), which the caller frees; count 0 and no array when there are none.
    HRESULT STDMETHODCALLTYPE GetPortList(DWORD direction, MPPORTLIST* list) override;
    HRESULT STDMETHODCALLTYPE ServicesSlot4(DWORD a, DWORD b, DWORD c) override;
    HRESULT STDMETHODCALLTYPE ServicesSlot5(DWORD a) override;
    HRESULT STDMETHODCALLTYPE ServicesSlot6(DWORD a) override;
    // Any thread: MPPORTUSAGE_REMOVE, _ADD, _RENAME or _REIDENTIFY one use of a port by
    // `component` (matched by address). E_INVALIDARG for a port that is not among the
    // Workspace's ports or a component never registered, E_FAIL when the use does not fit the
    // operation, E_POINTER for a null port id or component.
    HRESULT STDMETHODCALLTYPE SetPortUsage(DWORD operation, const GUID* portId, LPCWSTR name,
                                           ULONG_PTR ignored, IUnknown* component,
                                           DWORD index) override;

    // GUI thread: "Instance, Instance Name, ..." for every use of the port by a component that
    // is still in the Workspace, in registry order; empty when nobody uses it.
    QString portUsersText(const GUID& portId);
    QString portUsersText(const QUuid& portId);
    // GUI thread: forgets every use of the component (and, connected, tells the outer
    // application of each, one call per use).
    void removeComponentPorts(const IUnknown* component);

private:
    struct PortUse {
        GUID portId;
        QString name;
        DWORD index;
        DWORD direction;
        // What the component passed beside the name; handed on to the outer application.
        ULONG_PTR value = 0;
    };
    using PortUses = std::vector<PortUse>;
    // Ordered by the component pointer's value, which keeps the users text in a stable order.
    using Registry = std::map<const IUnknown*, PortUses>;

    HRESULT directionOf(DWORD operation, const GUID& portId, DWORD& direction);
    bool isCachedPort(DWORD direction, const GUID& portId);
    HRESULT applyOperation(DWORD operation, PortUses& uses, PortUses::iterator use,
                           const PortUse& given);
    void appendUsers(QString& text, const QString& instanceName, const PortUses& uses,
                     const GUID& portId) const;

    // ---- Passing on to the outer application (under the services lock) ----
    IMPClientServices* activeOuterServices() const;
    void releaseOuterServices();
    HRESULT outerPortList(DWORD direction, MPPORTLIST* list);
    bool isOuterPort(DWORD direction, const GUID& portId) const;
    // The id the outer application knows for an id that components know.
    GUID outerIdentity(const GUID& portId) const;
    QString componentName(const IUnknown* component) const;
    HRESULT passOnPortUsage(DWORD operation, const PortUse& use, IUnknown* component);

    ClientIUnknown* const m_host;
    // Guards the registry, the outer references, the identity maps and the outer port tables;
    // taken before the host object's port list lock.
    std::unique_ptr<std::recursive_mutex> m_servicesLock;
    Registry m_registry;

    IMPClientServices* m_outerServices = nullptr;
    IMPClientServices2* m_outerServices2 = nullptr;
    std::unique_ptr<TProxyMIDIPortAccessor> m_proxyPorts;
    QMap<QUuid, QUuid> m_portIdentities[2];
};
