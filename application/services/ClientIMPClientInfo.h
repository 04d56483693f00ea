// The component build's client information: what the outer application tells components about
// itself. Every question goes to the outer application's own interface, unchanged; without one
// nothing is implemented.
#pragma once

#include "TInnerObject.h"

#include <dorvo/dorvo2.h>

class ClientIMPClientInfo : public TInnerObject<IMPClientInfo, IID_IMPClientInfo> {
public:
    using TInnerObject::TInnerObject;
    ~ClientIMPClientInfo() override;

    HRESULT STDMETHODCALLTYPE ClientInfoSlot3(ULONG_PTR a, ULONG_PTR b, ULONG_PTR c,
                                              ULONG_PTR d) override;
    HRESULT STDMETHODCALLTYPE ClientInfoSlot4(ULONG_PTR a, ULONG_PTR b, ULONG_PTR c,
                                              ULONG_PTR d) override;
    HRESULT STDMETHODCALLTYPE ClientInfoSlot5(ULONG_PTR a, ULONG_PTR b, ULONG_PTR c,
                                              ULONG_PTR d) override;
    HRESULT STDMETHODCALLTYPE ClientInfoSlot6(ULONG_PTR a, ULONG_PTR b, ULONG_PTR c,
                                              ULONG_PTR d) override;

    // Before any component is connected: takes the outer host object's client information.
    HRESULT connect(IUnknown* outerHost);

private:
    IMPClientInfo* m_outer = nullptr;
};
