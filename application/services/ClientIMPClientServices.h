// The client services: the Workspace's MIDI ports as components see them, and the registry of
// which component uses which port, under which name and under which number of its own. The
// Workspace window reads the registry to name a port's users and empties a component's part of
// it when the component goes.
#pragma once

#include "TInnerObject.h"

#include <dorvo/dorvo2.h>

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
    // GUI thread: forgets every use of the component.
    void removeComponentPorts(const IUnknown* component);

private:
    struct PortUse {
        GUID portId;
        QString name;
        DWORD index;
        DWORD direction;
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

    ClientIUnknown* const m_host;
    // Guards the registry; taken before the host object's port list lock.
    std::unique_ptr<std::recursive_mutex> m_servicesLock;
    Registry m_registry;
};
