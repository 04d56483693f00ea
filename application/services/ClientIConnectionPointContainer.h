// The host object's connection points, in creation order: components find the notification
// point here and advise their sinks on it.
#pragma once

#include "TInnerObject.h"

#include <vector>

class ClientIConnectionPoint;

class ClientIConnectionPointContainer
    : public TInnerObject<IConnectionPointContainer, IID_IConnectionPointContainer> {
public:
    using TInnerObject::TInnerObject;
    ~ClientIConnectionPointContainer() override;

    // GUI thread.
    HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** ppEnum) override;
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID riid, IConnectionPoint** ppCP) override;

    // GUI thread, host-internal: appends a point for the interface; E_FAIL when it cannot be
    // made, E_POINTER for a null identifier.
    virtual HRESULT AddConnectionPoint(const IID* iid);

    // The first point for the interface, without a reference; null when there is none.
    ClientIConnectionPoint* pointFor(REFIID iid) const;

    // For the enumerators: the points in creation order, without references.
    std::size_t pointCount() const { return m_points.size(); }
    ClientIConnectionPoint* pointAt(std::size_t index) const { return m_points[index]; }

private:
    std::vector<ClientIConnectionPoint*> m_points; // one reference each
};
