#include "ClientIMPClientServices.h"

#include "ClientIUnknown.h"
#include "DorvoAssert.h"
#include "GuidConversion.h"
#include "WideText.h"

#include <algorithm>
#include <new>

namespace {

// Matches no use: removal then finds a use by its port id alone.
constexpr DWORD kNoDirection = 0xFFFFFFFF;

// Frees what a partly filled copy holds; the list is empty afterwards.
void freeCopy(MPPORTLIST& list, DWORD filled) {
    for (DWORD i = 0; i < filled; ++i)
        CoTaskMemFree(list.ports[i].name);
    CoTaskMemFree(list.ports);
    list.count = 0;
    list.ports = nullptr;
}

void copyPortList(const MPPORTLIST& source, MPPORTLIST& target) {
    if (source.count == 0 || !source.ports)
        return;
    target.ports = static_cast<MPPORTINFO*>(CoTaskMemAlloc(source.count * sizeof(MPPORTINFO)));
    if (!target.ports)
        return;
    target.count = source.count;
    for (DWORD i = 0; i < source.count; ++i) {
        target.ports[i].port = source.ports[i].port;
        target.ports[i].portId = source.ports[i].portId;
        target.ports[i].name = dorvo::taskAllocatedText(dorvo::textOfWide(source.ports[i].name));
        if (!target.ports[i].name) {
            freeCopy(target, i);
            return;
        }
    }
}

} // namespace

ClientIMPClientServices::ClientIMPClientServices(ClientIUnknown* host)
    : TInnerObject(host), m_host(host), m_servicesLock(new (std::nothrow) std::recursive_mutex) {}

ClientIMPClientServices::ClientIMPClientServices(std::nullptr_t)
    : TInnerObject(nullptr), m_host(nullptr),
      m_servicesLock(new (std::nothrow) std::recursive_mutex) {}

ClientIMPClientServices::~ClientIMPClientServices() {
    releaseOuterServices();
    m_proxyPorts.reset();
    m_registry.clear();
    m_servicesLock.reset();
}

HRESULT ClientIMPClientServices::GetPortList(DWORD direction, MPPORTLIST* list) {
    if (isConnectedToOuter())
        return outerPortList(direction, list);
    if (!DORVO_CHECK_TEXT(m_host, "pOuter != NULL"))
        return E_OUTOFMEMORY;
    if (!list)
        return E_POINTER;
    list->count = 0;
    list->ports = nullptr;
    std::recursive_mutex* portListLock = m_host->portListLock();
    if (!portListLock)
        return S_OK;
    std::lock_guard<std::recursive_mutex> lock(*portListLock);
    copyPortList(m_host->filledPortList(direction), *list);
    return S_OK;
}

HRESULT ClientIMPClientServices::ServicesSlot4(DWORD a, DWORD b, DWORD c) {
    IMPClientServices* outer = activeOuterServices();
    return outer ? outer->ServicesSlot4(a, b, c) : E_NOTIMPL;
}

HRESULT ClientIMPClientServices::ServicesSlot5(DWORD a) {
    IMPClientServices* outer = activeOuterServices();
    return outer ? outer->ServicesSlot5(a) : E_NOTIMPL;
}

HRESULT ClientIMPClientServices::ServicesSlot6(DWORD a) {
    IMPClientServices* outer = activeOuterServices();
    return outer ? outer->ServicesSlot6(a) : E_NOTIMPL;
}

HRESULT ClientIMPClientServices::SetPortUsage(DWORD operation, const GUID* portId, LPCWSTR name,
                                              ULONG_PTR value, IUnknown* component, DWORD index) {
    if (!m_servicesLock)
        return E_OUTOFMEMORY;
    std::lock_guard<std::recursive_mutex> lock(*m_servicesLock);
    if (isConnectedToOuter()) {
        if (!DORVO_CHECK_TEXT(component, "pIUnk"))
            return E_POINTER;
        if (!m_host)
            return E_UNEXPECTED;
    }
    if (!DORVO_CHECK_TEXT(m_host, "pOuter != NULL"))
        return E_FAIL;
    if (!portId || !component)
        return E_POINTER;
    DWORD direction = kNoDirection;
    if (const HRESULT known = directionOf(operation, *portId, direction); FAILED(known))
        return known;

    auto registered = m_registry.find(component);
    if (registered == m_registry.end()) {
        if (operation != MPPORTUSAGE_ADD)
            return E_INVALIDARG;
        try {
            registered = m_registry.emplace(component, PortUses()).first;
        } catch (const std::bad_alloc&) {
            return E_FAIL;
        }
    }
    PortUses& uses = registered->second;
    const auto use = std::find_if(uses.begin(), uses.end(), [&](const PortUse& candidate) {
        return (candidate.index == index && candidate.direction == direction) ||
               IsEqualGUID(candidate.portId, *portId);
    });
    const PortUse given{*portId, dorvo::textOfWide(name), index, direction, value};
    if (!isConnectedToOuter())
        return applyOperation(operation, uses, use, given);

    // Nothing changes, so nothing is passed on.
    if (use != uses.end() &&
        ((operation == MPPORTUSAGE_RENAME && use->name == given.name &&
          IsEqualGUID(use->portId, given.portId)) ||
         (operation == MPPORTUSAGE_REIDENTIFY && IsEqualGUID(use->portId, given.portId))))
        return S_OK;
    PortUse passed = use != uses.end() ? *use : given;
    const HRESULT applied = applyOperation(operation, uses, use, given);
    // The outer application's callers know a use that is not there as an invalid argument.
    if (FAILED(applied))
        return applied == E_OUTOFMEMORY ? applied : E_INVALIDARG;
    if (operation != MPPORTUSAGE_REMOVE) {
        passed.portId = given.portId;
        passed.name = given.name;
        passed.value = given.value;
    }
    return passOnPortUsage(operation, passed, component);
}

HRESULT ClientIMPClientServices::directionOf(DWORD operation, const GUID& portId,
                                             DWORD& direction) {
    if (operation == MPPORTUSAGE_REMOVE) {
        direction = kNoDirection;
        return S_OK;
    }
    auto known = [this, &portId](DWORD candidate) {
        return isConnectedToOuter() ? isOuterPort(candidate, portId)
                                    : isCachedPort(candidate, portId);
    };
    if (known(0))
        direction = 0;
    else if (known(1))
        direction = 1;
    else
        return E_INVALIDARG;
    return S_OK;
}

bool ClientIMPClientServices::isCachedPort(DWORD direction, const GUID& portId) {
    std::recursive_mutex* portListLock = m_host->portListLock();
    if (!portListLock)
        return false;
    std::lock_guard<std::recursive_mutex> lock(*portListLock);
    const MPPORTLIST& ports = m_host->filledPortList(direction);
    for (DWORD i = 0; i < ports.count; ++i) {
        if (IsEqualGUID(ports.ports[i].portId, portId))
            return true;
    }
    return false;
}

HRESULT ClientIMPClientServices::applyOperation(DWORD operation, PortUses& uses,
                                                PortUses::iterator use, const PortUse& given) {
    const bool found = use != uses.end();
    switch (operation) {
    case MPPORTUSAGE_REMOVE:
        if (!found)
            return E_FAIL;
        uses.erase(use);
        return S_OK;
    case MPPORTUSAGE_ADD:
        if (found)
            return E_FAIL;
        try {
            uses.push_back(given);
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
        return S_OK;
    case MPPORTUSAGE_RENAME:
        if (!found || !IsEqualGUID(use->portId, given.portId))
            return E_FAIL;
        use->name = given.name;
        return S_OK;
    case MPPORTUSAGE_REIDENTIFY:
        if (!found)
            return E_FAIL;
        use->portId = given.portId;
        return S_OK;
    default:
        return E_FAIL;
    }
}

QString ClientIMPClientServices::portUsersText(const QUuid& portId) {
    return portUsersText(guidFromUuid(portId));
}

QString ClientIMPClientServices::portUsersText(const GUID& portId) {
    QString text;
    if (!m_servicesLock || !m_host || !m_host->workspaceWindow())
        return text;
    std::lock_guard<std::recursive_mutex> lock(*m_servicesLock);
    for (const auto& [component, uses] : m_registry) {
        // Registrations outlive a component that did not remove them; only those still in the
        // Workspace are named.
        const std::optional<QString> instanceName =
            m_host->workspaceWindow()->componentInstanceName(component);
        if (instanceName)
            appendUsers(text, *instanceName, uses, portId);
    }
    return text;
}

void ClientIMPClientServices::appendUsers(QString& text, const QString& instanceName,
                                          const PortUses& uses, const GUID& portId) const {
    for (const PortUse& use : uses) {
        if (!IsEqualGUID(use.portId, portId))
            continue;
        if (!text.isEmpty())
            text += QStringLiteral(", ");
        text += instanceName;
        if (!use.name.isEmpty())
            text += QLatin1Char(' ') + use.name;
    }
}

void ClientIMPClientServices::removeComponentPorts(const IUnknown* component) {
    if (!m_servicesLock)
        return;
    std::lock_guard<std::recursive_mutex> lock(*m_servicesLock);
    const auto registered = m_registry.find(component);
    if (registered == m_registry.end())
        return;
    if (m_outerServices2) {
        for (const PortUse& use : registered->second)
            passOnPortUsage(MPPORTUSAGE_REMOVE, use, const_cast<IUnknown*>(component));
    }
    m_registry.erase(registered);
}
