// The process-wide application server: the GUI thread's identity, the object that runs
// TMarshallEvents on the GUI thread, and the busy indication before lengthy operations.
#pragma once

#include <QObject>

class CAppServer {
public:
    // Any thread: the same object on every call until release(); created on first use. In a
    // process without an application object (an outer application that is not a Qt program)
    // the first call starts one, with its event loop, on a GUI thread of its own that lives
    // until the process exits.
    static CAppServer& Instance();

    // GUI thread, once, after the event loop ended: ends the server. Events still posted to
    // MS() are dropped without running; a later Instance() starts a new server.
    void release();

    // Any thread: the thread that runs the toolkit's event loop, comparable with
    // QThread::currentThread().
    void* guiThread() const;

    // Any thread: when the server runs a GUI thread of its own, its end at exit is registered
    // again. Exit handlers run in the reverse order of registration, and the toolkit registers
    // the end of its own statics when it first makes them, on the GUI thread; those made since
    // the last registration would otherwise be destroyed on the exiting thread while the GUI
    // thread still runs. Call it when the GUI thread's work for a user has ended.
    static void endOwnGuiThreadFirstAtExit();

    // GUI thread, before a lengthy operation on components: shows the wait cursor until the
    // event loop turns again. The object is not used (every caller passes null). Calls from
    // other threads, or without a GUI application, do nothing.
    static void PrepareForBusyAction(QObject* object);

    // Any thread: the receiver of every posted TMarshallEvent; it lives on the GUI thread and
    // runs the events' functions there in the order they were posted.
    static QObject* MS();

    CAppServer(const CAppServer&) = delete;
    CAppServer& operator=(const CAppServer&) = delete;

private:
    CAppServer();
    ~CAppServer();

    QObject* messageObject() const { return m_messageObject; }

    QObject* m_messageObject = nullptr;
};
