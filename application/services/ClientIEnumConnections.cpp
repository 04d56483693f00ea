#include "ClientIEnumConnections.h"

#include "ClientIConnectionPoint.h"
#include "ConnectionPointCheck.h"

#include <limits>

ClientIEnumConnections::ClientIEnumConnections(ClientIConnectionPoint* point)
    : TInnerObject(nullptr), m_point(point) {
    if (m_point)
        m_point->AddRef();
}

ClientIEnumConnections::~ClientIEnumConnections() {
    if (m_point)
        m_point->Release();
}

HRESULT ClientIEnumConnections::Next(ULONG cConnections, CONNECTDATA* rgcd, ULONG* pcFetched) {
    const HRESULT checked =
        dorvo::checkEnumeratorNext(m_point, cConnections, rgcd, "pConnectData", pcFetched);
    if (checked != S_OK)
        return checked;
    const auto& connections = m_point->connections();
    ULONG filled = 0;
    while (filled < cConnections && std::size_t(m_position) + filled < connections.size()) {
        const ClientIConnectionPoint::Connection& connection = connections[m_position + filled];
        CONNECTDATA& data = rgcd[filled];
        data.dwCookie = connection.cookie;
        // The caller owns one reference on what it gets; a sink that refuses its own
        // identity is handed out as null rather than without a reference.
        void* unknown = nullptr;
        if (FAILED(connection.sink->QueryInterface(IID_IUnknown, &unknown)))
            unknown = nullptr;
        data.pUnk = static_cast<IUnknown*>(unknown);
        ++filled;
    }
    m_position += filled;
    if (pcFetched)
        *pcFetched = filled;
    return filled == cConnections ? S_OK : S_FALSE;
}

HRESULT ClientIEnumConnections::Skip(ULONG cConnections) {
    // Saturates instead of wrapping back to the first entries.
    const ULONG room = std::numeric_limits<ULONG>::max() - m_position;
    m_position += cConnections < room ? cConnections : room;
    return S_OK;
}

HRESULT ClientIEnumConnections::Reset() {
    m_position = 0;
    return S_OK;
}

HRESULT ClientIEnumConnections::Clone(IEnumConnections** ppEnum) {
    if (ppEnum)
        *ppEnum = nullptr;
    return E_NOTIMPL;
}
