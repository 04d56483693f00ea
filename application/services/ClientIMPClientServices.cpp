#include "ClientIMPClientServices.h"

#include "ClientIUnknown.h"
#include "DorvoAssert.h"
#include "GuidConversion.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {

// Matches no use: removal then finds a use by its port id alone.
constexpr DWORD kNoDirection = 0xFFFFFFFF;

LPWSTR taskAllocatedCopy(LPCWSTR text) {
    std::size_t length = 0;
    if (text) {
        while (text[length])
            ++length;
    }
    auto* copy = static_cast<LPWSTR>(CoTaskMemAlloc((length + 1) * sizeof(WCHAR)));
    if (copy) {
        if (length)
            std::memcpy(copy, text, length * sizeof(WCHAR));
        copy[length] = 0;
    }
    return copy;
}

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
        target.ports[i].name = taskAllocatedCopy(source.ports[i].name);
        if (!target.ports[i].name) {
            freeCopy(target, i);
            return;
        }
    }
}

QString textOf(LPCWSTR name) {
    if (!name)
        return QString();
    qsizetype length = 0;
    while (name[length])
        ++length;
    return QString::fromUtf16(name, length);
}

} // namespace

ClientIMPClientServices::ClientIMPClientServices(ClientIUnknown* host)
    : TInnerObject(host), m_host(host), m_servicesLock(new (std::nothrow) std::recursive_mutex) {}

ClientIMPClientServices::ClientIMPClientServices(std::nullptr_t)
    : TInnerObject(nullptr), m_host(nullptr),
      m_servicesLock(new (std::nothrow) std::recursive_mutex) {}

ClientIMPClientServices::~ClientIMPClientServices() {
    m_registry.clear();
    m_servicesLock.reset();
}

HRESULT ClientIMPClientServices::GetPortList(DWORD direction, MPPORTLIST* list) {
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

HRESULT ClientIMPClientServices::ServicesSlot4(DWORD, DWORD, DWORD) {
    return E_NOTIMPL;
}

HRESULT ClientIMPClientServices::ServicesSlot5(DWORD) {
    return E_NOTIMPL;
}

HRESULT ClientIMPClientServices::ServicesSlot6(DWORD) {
    return E_NOTIMPL;
}

HRESULT ClientIMPClientServices::SetPortUsage(DWORD operation, const GUID* portId, LPCWSTR name,
                                              ULONG_PTR, IUnknown* component, DWORD index) {
    if (!m_servicesLock)
        return E_OUTOFMEMORY;
    std::lock_guard<std::recursive_mutex> lock(*m_servicesLock);
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
    return applyOperation(operation, uses, use, PortUse{*portId, textOf(name), index, direction});
}

HRESULT ClientIMPClientServices::directionOf(DWORD operation, const GUID& portId,
                                             DWORD& direction) {
    if (operation == MPPORTUSAGE_REMOVE) {
        direction = kNoDirection;
        return S_OK;
    }
    if (isCachedPort(0, portId))
        direction = 0;
    else if (isCachedPort(1, portId))
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
    m_registry.erase(component);
}
