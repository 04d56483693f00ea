#include "CAppServer.h"

#include "TMarshallEvent.h"

#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QThread>
#include <QTimer>
#include <mutex>

namespace {

// Receives the TMarshallEvents. Posted events to one receiver are delivered in posting order,
// which gives the order that the callers rely on. It also owns the busy cursor, so that the
// timer that takes the cursor away cannot outlive what it refers to.
class TMessageObject : public QObject {
public:
    ~TMessageObject() override {
        if (m_busyCursorShown)
            QGuiApplication::restoreOverrideCursor();
    }

    bool event(QEvent* event) override {
        if (event->type() == TMarshallEvent::eventType()) {
            static_cast<TMarshallEvent*>(event)->run();
            return true;
        }
        return QObject::event(event);
    }

    // One wait cursor however often an operation asks before the loop turns; the zero timer
    // fires once the event loop processes events again, i.e. when the operation is over.
    void showBusyCursor() {
        if (m_busyCursorShown)
            return;
        m_busyCursorShown = true;
        QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
        QTimer::singleShot(0, this, [this] {
            m_busyCursorShown = false;
            QGuiApplication::restoreOverrideCursor();
        });
    }

private:
    bool m_busyCursorShown = false;
};

std::mutex serverMutex;
CAppServer* server = nullptr;

bool onGuiThread() {
    const QCoreApplication* application = QCoreApplication::instance();
    return application && QThread::currentThread() == application->thread();
}

} // namespace

CAppServer& CAppServer::Instance() {
    std::lock_guard<std::mutex> lock(serverMutex);
    if (!server)
        server = new CAppServer;
    return *server;
}

CAppServer::CAppServer() : m_messageObject(new TMessageObject) {
    const QCoreApplication* application = QCoreApplication::instance();
    if (!application) {
        qWarning("CAppServer: no application object; marshalled work runs on the creating thread");
        return;
    }
    // The first caller may be a thread of an outer application; the events must still run on
    // the thread of the event loop.
    if (m_messageObject->thread() != application->thread())
        m_messageObject->moveToThread(application->thread());
}

CAppServer::~CAppServer() {
    if (onGuiThread() || !QCoreApplication::instance())
        delete m_messageObject;
    else
        m_messageObject->deleteLater();
}

void CAppServer::release() {
    std::lock_guard<std::mutex> lock(serverMutex);
    if (server != this)
        return;
    server = nullptr;
    delete this;
}

void* CAppServer::guiThread() const {
    const QCoreApplication* application = QCoreApplication::instance();
    return application ? static_cast<void*>(application->thread()) : nullptr;
}

void CAppServer::PrepareForBusyAction(QObject* object) {
    Q_UNUSED(object);
    if (!onGuiThread() || !qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return;
    static_cast<TMessageObject*>(MS())->showBusyCursor();
}

QObject* CAppServer::MS() {
    return Instance().messageObject();
}
