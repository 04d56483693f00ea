#include "ClientIEnumConnectionPoints.h"

#include "ClientIConnectionPoint.h"
#include "ClientIConnectionPointContainer.h"
#include "ConnectionPointCheck.h"

#include <limits>

ClientIEnumConnectionPoints::ClientIEnumConnectionPoints(ClientIConnectionPointContainer* container)
    : TInnerObject(nullptr), m_container(container) {
    if (m_container)
        m_container->AddRef();
}

ClientIEnumConnectionPoints::~ClientIEnumConnectionPoints() {
    if (m_container)
        m_container->Release();
}

HRESULT ClientIEnumConnectionPoints::Next(ULONG cConnections, IConnectionPoint** ppCP,
                                          ULONG* pcFetched) {
    const HRESULT checked =
        dorvo::checkEnumeratorNext(m_container, cConnections, ppCP, "ppCP", pcFetched);
    if (checked != S_OK)
        return checked;
    const std::size_t count = m_container->pointCount();
    ULONG filled = 0;
    while (filled < cConnections && std::size_t(m_position) + filled < count) {
        ClientIConnectionPoint* point = m_container->pointAt(m_position + filled);
        point->AddRef();
        ppCP[filled] = point;
        ++filled;
    }
    m_position += filled;
    if (pcFetched)
        *pcFetched = filled;
    return filled == cConnections ? S_OK : S_FALSE;
}

HRESULT ClientIEnumConnectionPoints::Skip(ULONG cConnections) {
    // Saturates instead of wrapping back to the first entries.
    const ULONG room = std::numeric_limits<ULONG>::max() - m_position;
    m_position += cConnections < room ? cConnections : room;
    return S_OK;
}

HRESULT ClientIEnumConnectionPoints::Reset() {
    m_position = 0;
    return S_OK;
}

HRESULT ClientIEnumConnectionPoints::Clone(IEnumConnectionPoints** ppEnum) {
    if (ppEnum)
        *ppEnum = nullptr;
    return E_NOTIMPL;
}
