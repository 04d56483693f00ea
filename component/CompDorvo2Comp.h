// The component object's own interface for the outer application: show a hosted component's
// editor, and resynchronize the Workspace with the hardware (a Recall).
#pragma once

#include "TInnerObject.h"

#include <dorvo/dorvo2.h>

class CompIMPInitialise;

class CompDorvo2Comp : public TInnerObject<IDorvo2Comp, IID_IDorvo2Comp> {
public:
    explicit CompDorvo2Comp(CompIMPInitialise* owner);

    // Off the GUI thread both are carried there and answer S_OK at once.
    HRESULT STDMETHODCALLTYPE DisplayEditor(ULONG_PTR unused, IUnknown* component) override;
    HRESULT STDMETHODCALLTYPE Resync(LONGLONG value) override;

private:
    CompIMPInitialise* const m_owner;
};
