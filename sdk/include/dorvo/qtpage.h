/* Property pages made of Qt widgets (C++ only, header-only; needs Qt Widgets).
 *
 * The host shows a component's editor by calling IPropertyPage::Activate with a native window
 * (HWND), which carries the window system's id of the host's container window
 * (QWidget::winId()). A component whose page is a QWidget puts it into that window with
 * embedPage, follows IPropertyPage::Move and Show with movePage and showPage, and takes it out
 * again with detachPage in Deactivate:
 *
 *     STDMETHODIMP Activate(HWND parent, LPCRECT rect, BOOL) {
 *         m_widget = new MyPageWidget;                  // held in a QPointer<QWidget>
 *         const HRESULT hr = dorvo::qtpage::embedPage(m_widget, parent, rect);
 *         if (FAILED(hr))
 *             delete m_widget;
 *         return hr;
 *     }
 *     STDMETHODIMP Deactivate() {
 *         dorvo::qtpage::detachPage(m_widget);
 *         delete m_widget;
 *         return S_OK;
 *     }
 *
 * The host may destroy its container window before Deactivate; the page, a child of it, goes
 * with it, so hold the page in a QPointer.
 *
 * When the window belongs to this process's widgets (the usual case: the host runs the same Qt
 * in the same process), the page becomes a child widget of the container. Any other native
 * window is taken as a foreign window when the platform supports that (X11 does, the offscreen
 * platform does not): the page becomes a native window placed inside it. Otherwise
 * embedPage fails with E_FAIL and leaves the page as it was.
 *
 * All functions: GUI thread. */
#ifndef DORVO_QTPAGE_H
#define DORVO_QTPAGE_H

#include <dorvo/objbase.h>

#include <QObject>
#include <QPointer>
#include <QRect>
#include <QVariant>
#include <QWidget>
#include <QWindow>

namespace dorvo::qtpage {

/* The window system's id that a native window handle carries. */
inline WId windowId(HWND window) {
    return static_cast<WId>(reinterpret_cast<uintptr_t>(window));
}

/* The native window handle of a widget, as a host passes it to Activate (creates the widget's
 * native window when it has none yet). */
inline HWND windowHandle(QWidget* widget) {
    return widget ? reinterpret_cast<HWND>(static_cast<uintptr_t>(widget->winId())) : nullptr;
}

/* RECT is left, top, right, bottom with right and bottom outside the rectangle. */
inline QRect toQRect(const RECT& rect) {
    return QRect(QPoint(rect.left, rect.top),
                 QSize(rect.right - rect.left, rect.bottom - rect.top));
}

namespace detail {
/* The foreign window that embedPage wrapped around a page, kept on the page until detachPage. */
inline constexpr const char* kForeignParent = "dorvoQtPageForeignParent";

inline QWindow* foreignParentOf(QWidget* page) {
    return qobject_cast<QWindow*>(page->property(kForeignParent).value<QObject*>());
}
} // namespace detail

/* Puts page into the native window `parent` at rect (in the window's coordinates), hidden until
 * showPage. S_OK; E_POINTER for a null page or rect; E_INVALIDARG for a null window; E_FAIL when
 * the window is neither a widget of this process nor usable as a foreign window. */
inline HRESULT embedPage(QWidget* page, HWND parent, const RECT* rect) {
    if (!page || !rect)
        return E_POINTER;
    if (!parent)
        return E_INVALIDARG;
    const WId id = windowId(parent);
    if (QWidget* container = QWidget::find(id)) {
        if (container == page || page->isAncestorOf(container))
            return E_INVALIDARG;
        page->setParent(container);
        page->setGeometry(toQRect(*rect));
        return S_OK;
    }
    QWindow* foreign = QWindow::fromWinId(id);
    if (!foreign)
        return E_FAIL;
    page->setParent(nullptr);
    page->setAttribute(Qt::WA_NativeWindow);
    page->winId();
    QWindow* own = page->windowHandle();
    if (!own) {
        delete foreign;
        return E_FAIL;
    }
    own->setParent(foreign);
    page->setProperty(detail::kForeignParent, QVariant::fromValue<QObject*>(foreign));
    // A page deleted without detachPage must not leave the wrapper behind.
    QObject::connect(page, &QObject::destroyed, foreign, &QObject::deleteLater);
    page->setGeometry(toQRect(*rect));
    return S_OK;
}

/* Follows IPropertyPage::Move. E_POINTER for a null page or rect. */
inline HRESULT movePage(QWidget* page, const RECT* rect) {
    if (!page || !rect)
        return E_POINTER;
    page->setGeometry(toQRect(*rect));
    return S_OK;
}

/* Follows IPropertyPage::Show: SW_HIDE hides the page, any other command shows it. */
inline HRESULT showPage(QWidget* page, UINT showCommand) {
    if (!page)
        return E_POINTER;
    page->setVisible(showCommand != SW_HIDE);
    return S_OK;
}

/* Takes the page out of the window it was embedded into: hidden and without a parent, so the
 * caller may delete it or embed it again. A null page (already gone with its container) is
 * fine. */
inline void detachPage(QWidget* page) {
    if (!page)
        return;
    page->hide();
    QWindow* foreign = detail::foreignParentOf(page);
    if (foreign && page->windowHandle())
        page->windowHandle()->setParent(nullptr);
    page->setParent(nullptr);
    page->setProperty(detail::kForeignParent, QVariant());
    delete foreign;
}

} // namespace dorvo::qtpage

#endif /* DORVO_QTPAGE_H */
