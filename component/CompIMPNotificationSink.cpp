#include "CompIMPNotificationSink.h"

#include "ApplicationWindow.h"
#include "CompIMPInitialise.h"
#include "DorvoAssert.h"
#include "TComponentServer.h"

CompIMPNotificationSink::CompIMPNotificationSink(CompIMPInitialise* owner)
    : TInnerObject(owner), m_owner(owner) {
    TComponentServer::trace(
        "CompIMPNotificationSink::CompIMPNotificationSink() Constructor called - useCount: 1");
}

HRESULT CompIMPNotificationSink::OnNotify(const MPNOTIFICATION* notification) {
    if (!DORVO_CHECK_TEXT(m_owner, "pOuter"))
        return E_FAIL;
    // Never waits: a notification that meets a load or a disconnect is not worth a deadlock.
    QRecursiveMutex& objectLock = m_owner->objectLock();
    if (!objectLock.tryLock())
        return S_OK;
    HRESULT result = E_FAIL;
    if (ApplicationWindow* window = m_owner->workspaceWindow()) {
        window->notifyComponents(notification);
        result = S_OK;
    }
    objectLock.unlock();
    return result;
}
