#include "CProgressMarshaller.h"

#include "ClientIMPClientProgressHandler.h"
#include "GuiThread.h"

#include <QCoreApplication>
#include <QThread>

CProgressMarshaller::CProgressMarshaller(ClientIMPClientProgressHandler* handler, int kind,
                                         const QString& message, DWORD progress, DWORD total)
    : m_handler(handler), m_kind(kind), m_message(message), m_progress(progress), m_total(total) {
    // Made on the worker, which runs no event loop: the event must be delivered by the GUI
    // thread's.
    QThread* gui = dorvo::guiThread();
    if (!gui && QCoreApplication::instance())
        gui = QCoreApplication::instance()->thread();
    if (gui && thread() != gui)
        moveToThread(gui);
    m_published.store(true, std::memory_order_release);
    QCoreApplication::postEvent(this, new QEvent(kEventType));
}

bool CProgressMarshaller::event(QEvent* event) {
    if (event->type() != kEventType)
        return QObject::event(event);
    if (m_published.load(std::memory_order_acquire) && m_handler)
        m_handler->guiUpdate(m_kind, m_message, m_progress, m_total);
    deleteLater();
    return true;
}
