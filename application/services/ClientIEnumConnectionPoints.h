// Enumerates the points of a container. An object of its own for identity and lifetime; it
// keeps a reference on the container (and so on the host object) while it lives.
#pragma once

#include "TInnerObject.h"

class ClientIConnectionPointContainer;

class ClientIEnumConnectionPoints
    : public TInnerObject<IEnumConnectionPoints, IID_IEnumConnectionPoints> {
public:
    // container may be null; every Next then fails.
    explicit ClientIEnumConnectionPoints(ClientIConnectionPointContainer* container);
    ~ClientIEnumConnectionPoints() override;

    // GUI thread, for all methods.
    HRESULT STDMETHODCALLTYPE Next(ULONG cConnections, IConnectionPoint** ppCP,
                                   ULONG* pcFetched) override;
    HRESULT STDMETHODCALLTYPE Skip(ULONG cConnections) override;
    HRESULT STDMETHODCALLTYPE Reset() override;
    HRESULT STDMETHODCALLTYPE Clone(IEnumConnectionPoints** ppEnum) override;

private:
    ClientIConnectionPointContainer* const m_container;
    ULONG m_position = 0;
};
