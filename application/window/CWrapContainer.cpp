#include "CWrapContainer.h"

#include "CVEXWrapper.h"

#include <QCloseEvent>

CWrapContainer::CWrapContainer(CVEXWrapper* wrapper) : QMainWindow(nullptr), m_wrapper(wrapper) {
    setAttribute(Qt::WA_DeleteOnClose);
}

void CWrapContainer::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    if (m_wrapper)
        m_wrapper->containerResized(this);
}

void CWrapContainer::moveEvent(QMoveEvent* event) {
    QMainWindow::moveEvent(event);
    if (m_wrapper)
        m_wrapper->containerMoved(this);
}

void CWrapContainer::closeEvent(QCloseEvent* event) {
    // A wrapper that keeps its window refuses the close: the window is hidden instead.
    if (m_wrapper && !m_wrapper->hideEditor(false)) {
        event->ignore();
        return;
    }
    // Deleted on the next turn of the event loop; until then the wrapper must not offer this
    // window, which has no page any more, as its open editor.
    if (m_wrapper)
        m_wrapper->containerClosed(this);
    event->accept();
}
