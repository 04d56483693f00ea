// One connection point of the host object: the sinks that components advised for one
// interface, in advise order, each under a cookie that is never reused within the point.
#pragma once

#include "TInnerObject.h"

#include <vector>

class ClientIConnectionPointContainer;

class ClientIConnectionPoint : public TInnerObject<IConnectionPoint, IID_IConnectionPoint> {
public:
    struct Connection {
        IUnknown* sink; // the point's interface of the sink, one reference
        DWORD cookie;
    };

    // The container is the outer object and may be null (a point on its own).
    ClientIConnectionPoint(ClientIConnectionPointContainer* container, REFIID iid);
    ~ClientIConnectionPoint() override;

    // GUI thread, for all methods.
    HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* pIID) override;
    HRESULT STDMETHODCALLTYPE
    GetConnectionPointContainer(IConnectionPointContainer** ppCPC) override;
    HRESULT STDMETHODCALLTYPE Advise(IUnknown* pUnk, DWORD* pdwCookie) override;
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD dwCookie) override;
    HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** ppEnum) override;

    const IID& connectionInterface() const { return m_iid; }
    // In advise order, without added references.
    const std::vector<Connection>& connections() const { return m_connections; }

private:
    ClientIConnectionPointContainer* const m_container;
    const IID m_iid;
    DWORD m_lastCookie = 0;
    std::vector<Connection> m_connections;
};
