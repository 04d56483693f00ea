// One progress report on its way from a component's worker thread to the GUI thread: it posts
// itself an event at construction and, delivered on the GUI thread, hands its values to the
// handler, unless the handler was destroyed meanwhile, and then deletes itself.
#pragma once

#include <dorvo/wintypes.h>

#include <QEvent>
#include <QObject>
#include <QPointer>
#include <QString>
#include <atomic>

class ClientIMPClientProgressHandler;

class CProgressMarshaller : public QObject {
    Q_OBJECT
public:
    enum Kind { Progress = 0, Done = 1, Failed = 2, Cancelled = 3 };
    // The posted event's type.
    static constexpr QEvent::Type kEventType = QEvent::Type(1000);

    // Any thread: the object moves to the GUI thread and is delivered there in posting order.
    CProgressMarshaller(ClientIMPClientProgressHandler* handler, int kind, const QString& message,
                        DWORD progress, DWORD total);

    bool event(QEvent* event) override;

private:
    QPointer<ClientIMPClientProgressHandler> m_handler;
    const int m_kind;
    const QString m_message;
    const DWORD m_progress;
    const DWORD m_total;
    // The event queue hands the report over under the toolkit's own lock; this flag states the
    // hand-over in the language of the memory model as well, so that the race checker sees it.
    std::atomic<bool> m_published{false};
};
