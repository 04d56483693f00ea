#include "ClientIConnectionPoint.h"

#include "ClientIConnectionPointContainer.h"
#include "ClientIEnumConnections.h"
#include "ConnectionPointCheck.h"

#include <algorithm>
#include <new>

ClientIConnectionPoint::ClientIConnectionPoint(ClientIConnectionPointContainer* container,
                                               REFIID iid)
    : TInnerObject(container), m_container(container), m_iid(iid) {}

ClientIConnectionPoint::~ClientIConnectionPoint() {
    // Taken out first: a sink's release may call back into the point.
    const std::vector<Connection> connections = std::move(m_connections);
    m_connections.clear();
    for (const Connection& connection : connections)
        connection.sink->Release();
}

HRESULT ClientIConnectionPoint::GetConnectionInterface(IID* pIID) {
    if (!CONNECTION_POINT_CHECK(pIID))
        return E_POINTER;
    *pIID = m_iid;
    return S_OK;
}

HRESULT ClientIConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** ppCPC) {
    const ClientIConnectionPointContainer* pOuter = m_container;
    CONNECTION_POINT_CHECK(pOuter != NULL);
    if (!CONNECTION_POINT_CHECK(ppCPC))
        return E_POINTER;
    *ppCPC = m_container;
    if (!m_container)
        return E_FAIL;
    m_container->AddRef();
    return S_OK;
}

HRESULT ClientIConnectionPoint::Advise(IUnknown* pUnk, DWORD* pdwCookie) {
    const bool haveCookie = CONNECTION_POINT_CHECK(pdwCookie);
    const bool haveSink = CONNECTION_POINT_CHECK(pUnk);
    if (!haveCookie || !haveSink)
        return E_POINTER;
    *pdwCookie = 0;
    void* sink = nullptr;
    // A sink that claims the interface but hands out no pointer cannot be called either.
    if (FAILED(pUnk->QueryInterface(m_iid, &sink)) || !sink)
        return CONNECT_E_CANNOTCONNECT;
    try {
        m_connections.push_back({static_cast<IUnknown*>(sink), m_lastCookie + 1});
    } catch (const std::bad_alloc&) {
        static_cast<IUnknown*>(sink)->Release();
        return E_OUTOFMEMORY;
    }
    *pdwCookie = ++m_lastCookie;
    return S_OK;
}

HRESULT ClientIConnectionPoint::Unadvise(DWORD dwCookie) {
    const auto found = std::find_if(
        m_connections.begin(), m_connections.end(),
        [dwCookie](const Connection& connection) { return connection.cookie == dwCookie; });
    if (found == m_connections.end())
        return E_FAIL;
    IUnknown* sink = found->sink;
    m_connections.erase(found);
    // Released after the list is consistent again: the sink's release may call back.
    sink->Release();
    return S_OK;
}

HRESULT ClientIConnectionPoint::EnumConnections(IEnumConnections** ppEnum) {
    if (!CONNECTION_POINT_CHECK(ppEnum))
        return E_POINTER;
    *ppEnum = new (std::nothrow) ClientIEnumConnections(this);
    return *ppEnum ? S_OK : CONNECT_E_NOCONNECTION;
}
