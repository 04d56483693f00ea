#include "ClientIConnectionPointContainer.h"

#include "ClientIConnectionPoint.h"
#include "ClientIEnumConnectionPoints.h"
#include "ConnectionPointCheck.h"

#include <new>

ClientIConnectionPointContainer::~ClientIConnectionPointContainer() {
    // The container's own count is zero here, so each point frees itself on this release.
    for (ClientIConnectionPoint* point : m_points)
        point->Release();
}

HRESULT ClientIConnectionPointContainer::EnumConnectionPoints(IEnumConnectionPoints** ppEnum) {
    if (!CONNECTION_POINT_CHECK(ppEnum))
        return E_POINTER;
    *ppEnum = new (std::nothrow) ClientIEnumConnectionPoints(this);
    return *ppEnum ? S_OK : CONNECT_E_NOCONNECTION;
}

HRESULT ClientIConnectionPointContainer::FindConnectionPoint(REFIID riid, IConnectionPoint** ppCP) {
    if (!CONNECTION_POINT_CHECK(ppCP))
        return E_POINTER;
    *ppCP = pointFor(riid);
    if (!*ppCP)
        return CONNECT_E_NOCONNECTION;
    (*ppCP)->AddRef();
    return S_OK;
}

HRESULT ClientIConnectionPointContainer::AddConnectionPoint(const IID* iid) {
    if (!CONNECTION_POINT_CHECK(iid))
        return E_POINTER;
    auto* point = new (std::nothrow) ClientIConnectionPoint(this, *iid);
    if (!point)
        return E_FAIL;
    try {
        m_points.push_back(point);
    } catch (const std::bad_alloc&) {
        point->Release();
        return E_FAIL;
    }
    return S_OK;
}

ClientIConnectionPoint* ClientIConnectionPointContainer::pointFor(REFIID iid) const {
    for (ClientIConnectionPoint* point : m_points) {
        if (IsEqualIID(point->connectionInterface(), iid))
            return point;
    }
    return nullptr;
}
