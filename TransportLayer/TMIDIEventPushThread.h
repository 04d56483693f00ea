// The reader thread of one open input: carries what the driver received to the transport's
// parser and sink.
#pragma once

#include <QThread>

class TMIDITransport;

class TMIDIEventPushThread : public QThread {
    Q_OBJECT

public:
    explicit TMIDIEventPushThread(TMIDITransport* transport);

protected:
    void run() override;

private:
    TMIDITransport* m_transport;
};
