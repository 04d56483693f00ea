#include "TSimpleMarshaller.h"

#include "DorvoAssert.h"

#include <CAppServer.h>
#include <TMarshallEvent.h>

#include <QCoreApplication>

TSimpleMarshaller::TSimpleMarshaller(IUnknown* target, bool deleteWhenDone)
    : m_target(target), m_deleteWhenDone(deleteWhenDone) {
    if (m_target)
        m_target->AddRef();
}

TSimpleMarshaller::~TSimpleMarshaller() {
    // A record destroyed before it ran still lets its target go.
    if (m_target)
        m_target->Release();
}

void TSimpleMarshaller::post() {
    // Built on a thread of the outer application, which may run no event loop (and may end):
    // the record's deferred deletion must happen on the GUI thread's loop.
    moveToThread(CAppServer::MS()->thread());
    QCoreApplication::postEvent(CAppServer::MS(), new TMarshallEvent(this, &runRecord));
}

void TSimpleMarshaller::runRecord(QObject* object) {
    auto* record = qobject_cast<TSimpleMarshaller*>(object);
    if (!DORVO_CHECK_TEXT(record, "xThis"))
        return;
    // A second run finds the target released already; the call is not made again.
    if (record->m_target)
        record->m_result = record->call(record->m_target);
    record->finish();
}

void TSimpleMarshaller::finish() {
    const int v = ++m_runCount;
    DORVO_CHECK_TEXT(v == 1, "v == 1");
    if (m_target) {
        m_target->Release();
        m_target = nullptr;
    }
    if (m_deleteWhenDone)
        deleteLater();
}
