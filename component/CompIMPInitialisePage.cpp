// The component object as a property page: its Workspace window inside the outer application's
// window. The page object (CompIPropertyPage) decides on which thread these run.
#include "CompIMPInitialise.h"

#include "ApplicationWindow.h"
#include "CForeignWindowWrapper.h"
#include "TComponentServer.h"
#include "TSimpleMarshaller.h"

#include <QMetaObject>
#include <QMutexLocker>

namespace {

constexpr QSize kDefaultPageSize(400, 300);

QSize sizeOf(const RECT& rect) {
    return QSize(rect.right - rect.left, rect.bottom - rect.top);
}

} // namespace

HRESULT CompIMPInitialise::activateCore(HWND parent, const RECT& rect) {
    QMutexLocker lock(&m_objectLock);
    const HRESULT made = makeWorkspaceWindow();
    if (made != S_OK)
        return made;
    const QSize size = sizeOf(rect);
    if (!m_wrapper->attach(parent, size.width(), size.height()))
        return E_FAIL;
    m_window->resize(size);
    m_lastSize = size;
    m_wrapper->move(rect.left, rect.top);
    m_wrapper->show();
    if (m_firstShowPending) {
        m_firstShowPending = false;
        // Later, so that a load that the outer application sends right after the activation
        // comes first; only an empty Workspace becomes a new document.
        QPointer<ApplicationWindow> window = m_window;
        QMetaObject::invokeMethod(
            window,
            [window] {
                if (window && window->components().isEmpty())
                    window->newSession();
            },
            Qt::QueuedConnection);
    }
    m_pageShown = true;
    return S_OK;
}

HRESULT CompIMPInitialise::deactivateCore() {
    QMutexLocker lock(&m_objectLock);
    if (!m_pageShown)
        return E_UNEXPECTED;
    if (m_wrapper) {
        m_wrapper->hide();
        m_wrapper->attach(nullptr, -1, -1);
    }
    m_pageShown = false;
    return S_OK;
}

HRESULT CompIMPInitialise::moveCore(const RECT& rect) {
    QMutexLocker lock(&m_objectLock);
    if (!m_pageShown || !m_wrapper || !m_window)
        return E_UNEXPECTED;
    const QSize size = sizeOf(rect);
    m_wrapper->setGeometry(rect.left, rect.top, size.width(), size.height());
    m_window->resize(size);
    m_lastSize = size;
    return S_OK;
}

QSize CompIMPInitialise::pageSize() {
    QMutexLocker lock(&m_objectLock);
    if (m_lastSize.width() < 0 || m_lastSize.height() < 0)
        m_lastSize = kDefaultPageSize;
    return m_lastSize;
}
