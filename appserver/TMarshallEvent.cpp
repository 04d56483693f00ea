#include "TMarshallEvent.h"

TMarshallEvent::TMarshallEvent(QObject* object, Function function)
    : QEvent(eventType()), m_object(object), m_function(function) {}

TMarshallEvent::~TMarshallEvent() = default;

QEvent::Type TMarshallEvent::eventType() {
    // Registered once per process; registerEventType is thread-safe and so is this static.
    static const QEvent::Type type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

void TMarshallEvent::run() {
    if (m_hasRun)
        return;
    m_hasRun = true;
    if (m_function)
        m_function(m_object);
}
