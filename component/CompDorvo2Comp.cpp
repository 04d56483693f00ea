#include "CompDorvo2Comp.h"

#include "CompIMPInitialise.h"
#include "CompRecords.h"
#include "DorvoAssert.h"
#include "TComponentServer.h"

CompDorvo2Comp::CompDorvo2Comp(CompIMPInitialise* owner) : TInnerObject(owner), m_owner(owner) {
    TComponentServer::trace("CompDorvo2Comp::CompDorvo2Comp() Constructor called - useCount: 1");
}

HRESULT CompDorvo2Comp::DisplayEditor(ULONG_PTR, IUnknown* component) {
    if (!DORVO_CHECK_TEXT(m_owner, "pOuter"))
        return E_FAIL;
    if (TComponentServer::mainThreadRunning())
        return m_owner->displayEditorCore(component);
    (new CompIMPInitialise_DisplayEditor_params(m_owner, component))->post();
    return S_OK;
}

HRESULT CompDorvo2Comp::Resync(LONGLONG value) {
    if (!DORVO_CHECK_TEXT(m_owner, "pOuter"))
        return E_FAIL;
    if (TComponentServer::mainThreadRunning())
        return m_owner->resyncCore(value);
    (new CompIMPInitialise_Resync_params(m_owner, value))->post();
    return S_OK;
}
