#include "TMIDIEventPushThread.h"

#include "TMIDITransport.h"

TMIDIEventPushThread::TMIDIEventPushThread(TMIDITransport* transport) : m_transport(transport) {}

void TMIDIEventPushThread::run() {
    m_transport->runPusherLoop();
}
