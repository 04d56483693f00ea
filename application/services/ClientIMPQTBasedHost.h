// Tells a component that the host runs on the GUI toolkit, and which version of it, so that a
// component built against the same version may share the host's application object.
#pragma once

#include "TInnerObject.h"

#include <dorvo/dorvo2.h>

class ClientIMPQTBasedHost : public TInnerObject<IMPQTBasedHost, IID_IMPQTBasedHost> {
public:
    using TInnerObject::TInnerObject;

    HRESULT STDMETHODCALLTYPE IsQtHost(DWORD* isQtHost) override;
    HRESULT STDMETHODCALLTYPE MatchApplication(WORD value) override;

    // The identity of the application object: the toolkit version that the process runs on,
    // which may differ from the one the host was compiled against.
    static WORD applicationIdentity();
};
