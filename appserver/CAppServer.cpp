#include "CAppServer.h"

#include "TMarshallEvent.h"

#include <QApplication>
#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QThread>
#include <QTimer>
#include <cstdlib>
#include <future>
#include <mutex>
#include <thread>

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

// A process that is not a Qt program (an outer application that loads the component build)
// gets its application object and event loop on a thread of their own, for the life of the
// process.
struct OwnGuiThread {
    std::thread thread;
    QCoreApplication* application = nullptr;
};
OwnGuiThread* ownGuiThread = nullptr;

// At exit, before the toolkit's own statics go: the loop ends and the application object is
// destroyed on its thread.
void stopOwnGuiThread() {
    if (!ownGuiThread)
        return;
    QMetaObject::invokeMethod(ownGuiThread->application, &QCoreApplication::quit,
                              Qt::QueuedConnection);
    ownGuiThread->thread.join();
    delete ownGuiThread;
    ownGuiThread = nullptr;
}

// Gives the message object, made on the new thread: nothing of the toolkit may touch the
// calling thread first, or the toolkit would take that thread for the program's main thread.
QObject* startOwnGuiThread() {
    std::promise<QObject*> started;
    std::future<QObject*> messageObject = started.get_future();
    ownGuiThread = new OwnGuiThread;
    ownGuiThread->thread = std::thread([&started] {
        static int argc = 1;
        static char name[] = "dorvo2";
        static char* argv[] = {name, nullptr};
        QApplication own(argc, argv);
        // The outer application's windows are not ours; the loop ends only at exit.
        own.setQuitOnLastWindowClosed(false);
        ownGuiThread->application = &own;
        started.set_value(new TMessageObject);
        own.exec();
    });
    QObject* made = messageObject.get();
    std::atexit(stopOwnGuiThread);
    return made;
}

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

CAppServer::CAppServer() {
    const QCoreApplication* application = QCoreApplication::instance();
    if (!application) {
        m_messageObject = startOwnGuiThread();
        return;
    }
    m_messageObject = new TMessageObject;
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

void CAppServer::endOwnGuiThreadFirstAtExit() {
    std::lock_guard<std::mutex> lock(serverMutex);
    if (ownGuiThread)
        std::atexit(stopOwnGuiThread);
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
