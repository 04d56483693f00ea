#include "CompISpecifyPropertyPages.h"

#include "CompIMPInitialise.h"
#include "DorvoAssert.h"
#include "TComponentServer.h"

CompISpecifyPropertyPages::CompISpecifyPropertyPages(CompIMPInitialise* owner)
    : TInnerObject(owner), m_owner(owner) {
    TComponentServer::trace(
        "CompISpecifyPropertyPages::CompISpecifyPropertyPages() Constructor called - useCount: 1");
}

HRESULT CompISpecifyPropertyPages::GetPages(CAUUID* pages) {
    if (!DORVO_CHECK_TEXT(m_owner, "pOuter"))
        return E_FAIL;
    // Outer applications know a missing answer field as a failed allocation.
    if (!pages)
        return E_OUTOFMEMORY;
    auto* classes = static_cast<GUID*>(CoTaskMemAlloc(sizeof(GUID)));
    if (!classes) {
        *pages = CAUUID{0, nullptr};
        return E_OUTOFMEMORY;
    }
    classes[0] = CLSID_Dorvo2CompPropertyPage;
    *pages = CAUUID{1, classes};
    return S_OK;
}
