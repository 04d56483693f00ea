// Work for the GUI thread: a thread that is not the GUI thread creates the event on the heap
// and posts it to CAppServer::MS(); the server runs function(object) once on the GUI thread,
// in posting order, and the toolkit deletes the event afterwards.
#pragma once

#include <QEvent>

class QObject;

class TMarshallEvent : public QEvent {
public:
    using Function = void (*)(QObject*);

    // Any thread.
    TMarshallEvent(QObject* object, Function function);
    // GUI thread (the toolkit deletes delivered events there).
    virtual ~TMarshallEvent();

    TMarshallEvent(const TMarshallEvent&) = delete;
    TMarshallEvent& operator=(const TMarshallEvent&) = delete;

    // The registered event type that every marshalling event carries.
    static QEvent::Type eventType();

    // GUI thread: runs the function with the object; a second call does nothing, so a
    // redelivered event cannot repeat the work.
    void run();

    QObject* object() const { return m_object; }
    bool hasRun() const { return m_hasRun; }

private:
    QObject* m_object;
    Function m_function;
    bool m_hasRun = false;
};
