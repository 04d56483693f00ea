// The host's time information: which time formats it converts and two fixed values. In the
// component build every question goes to the outer application's clock instead.
#pragma once

#include "TInnerObject.h"

#include <dorvo/dorvo2.h>

class ClientIMPTimeInfo : public TInnerObject<IMPTimeInfo, IID_IMPTimeInfo> {
public:
    using TInnerObject::TInnerObject;
    ~ClientIMPTimeInfo() override;

    HRESULT STDMETHODCALLTYPE CheckConversion(LONGLONG time, DWORD sourceFormat, DWORD a3, DWORD a4,
                                              DWORD targetFormat, DWORD a6) override;
    HRESULT STDMETHODCALLTYPE TimeInfoSlot4(LONGLONG time, DWORD a2, DWORD a3, DWORD a4, DWORD a5,
                                            DWORD a6) override;
    HRESULT STDMETHODCALLTYPE TimeInfoSlot5(DWORD a1, DWORD a2, DWORD a3, DWORD a4, DWORD a5,
                                            DWORD a6) override;
    HRESULT STDMETHODCALLTYPE GetTimeValue(DWORD which, DWORD* value) override;

    // The component build, before any component is connected: takes the outer host object's
    // time information (without one, CheckConversion fails and the rest is not implemented).
    HRESULT connect(IUnknown* outerHost);

private:
    bool m_connected = false;
    IMPTimeInfo* m_outer = nullptr;
};
