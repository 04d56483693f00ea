// Enumerates the connections of one point. An object of its own for identity and lifetime; it
// keeps a reference on the point (and so on the host object) while it lives.
#pragma once

#include "TInnerObject.h"

class ClientIConnectionPoint;

class ClientIEnumConnections : public TInnerObject<IEnumConnections, IID_IEnumConnections> {
public:
    // point may be null; every Next then fails.
    explicit ClientIEnumConnections(ClientIConnectionPoint* point);
    ~ClientIEnumConnections() override;

    // GUI thread, for all methods.
    HRESULT STDMETHODCALLTYPE Next(ULONG cConnections, CONNECTDATA* rgcd,
                                   ULONG* pcFetched) override;
    HRESULT STDMETHODCALLTYPE Skip(ULONG cConnections) override;
    HRESULT STDMETHODCALLTYPE Reset() override;
    HRESULT STDMETHODCALLTYPE Clone(IEnumConnections** ppEnum) override;

private:
    ClientIConnectionPoint* const m_point;
    ULONG m_position = 0;
};
