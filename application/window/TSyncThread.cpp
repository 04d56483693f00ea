#include "TSyncThread.h"

#include "CProgressMarshaller.h"
#include "CVEXWrapper.h"
#include "ClientIMPClientProgressHandler.h"
#include "DorvoAssert.h"

TSyncThread::TSyncThread(CVEXWrapper* wrapper, DWORD direction,
                         ClientIMPClientProgressHandler* handler)
    : m_wrapper(wrapper), m_direction(direction), m_recallMask(wrapper ? wrapper->recallMask() : 0),
      m_handler(handler) {
    DORVO_CHECK_TEXT(wrapper && handler, "obj && progressHandler");
    if (handler)
        handler->setSyncThread(this);
}

void TSyncThread::requestStop(HRESULT code) {
    if (!isRunning() || m_stopRequested.exchange(true))
        return;
    m_result = code;
    CVEXWrapper::requestCancel(m_wrapper);
}

void TSyncThread::run() {
    HRESULT result = E_NOTIMPL;
    if (m_wrapper && m_wrapper->hasSyncInterface())
        result = m_wrapper->synchronize(m_direction & 0xFF, m_handler, m_recallMask);
    const HRESULT recorded = m_result;
    const HRESULT code = recorded != 0 ? recorded : result;
    int kind = CProgressMarshaller::Failed;
    if (code == 0)
        kind = CProgressMarshaller::Done;
    else if (code == ERROR_CANCELLED)
        kind = CProgressMarshaller::Cancelled;
    if (m_handler)
        new CProgressMarshaller(m_handler, kind, QString(), 0, 0);
}
