#include "CompIMPEventFilter.h"

#include "CompIMPInitialise.h"
#include "DorvoAssert.h"
#include "TComponentServer.h"

#include <QMutexLocker>

namespace {

// Every kind of event the queue holds.
constexpr DWORD kAllEventTypes = 0x3F0FFF;

} // namespace

CompIMPEventFilter::CompIMPEventFilter(CompIMPInitialise* owner)
    : TInnerObject(owner), m_owner(owner) {
    TComponentServer::trace(
        "CompIMPEventFilter::CompIMPEventFilter() Constructor called - useCount: 1");
}

HRESULT CompIMPEventFilter::FilterEvents(IMPEventQueue* queue, const MPFILTERINFO* info) {
    if (!DORVO_CHECK_TEXT(m_owner, "pOuter"))
        return S_OK;
    QMutexLocker lock(&m_pmutex);
    if (!queue || !info || m_owner->isShuttingDown() || !(info->flags & MPFILTER_LIVEINPUT))
        return S_OK;
    MPEVENT event{};
    BOOL found = FALSE;
    BOOL more = FALSE;
    HRESULT result = queue->GetFirstEvent(&found, &event, &more, kAllEventTypes);
    while (result == S_OK && found) {
        m_owner->queueEvent(event);
        if (!more)
            break;
        event = MPEVENT{};
        result = queue->GetNextEvent(&found, &event, &more, kAllEventTypes);
    }
    return S_OK;
}

HRESULT CompIMPEventFilter::GetFilterInfo(DWORD* a, DWORD* b, DWORD* c) {
    if (a)
        *a = 2;
    if (b)
        *b = 2;
    if (c)
        *c = 7;
    return S_OK;
}

HRESULT CompIMPEventFilter::FilterSlot5(DWORD) {
    return S_OK;
}
