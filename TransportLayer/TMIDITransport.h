// One open MIDI port in one direction, independent of the MIDI system underneath: the input side
// turns the raw bytes a driver hands in into MPEVENT records for a sink, on a reader thread of
// its own; the output side sends one message. Drivers derive from it.
#pragma once

#include "TMIDIReaderRefConInterface.h"

#include <QObject>
#include <atomic>
#include <dorvo/dorvo2.h>

class QByteArray;
class TAutoResetEvent;
class TMIDIEventPushThread;

class TMIDITransport : public QObject {
    Q_OBJECT

public:
    explicit TMIDITransport(QObject* parent = nullptr);
    ~TMIDITransport() override;

    // Opens device portNumber - 1 for input; parsed events go to sink.
    virtual bool openInput(int portNumber, TMIDIReaderRefConInterface* sink) = 0;
    // Safe when input is not open.
    virtual void closeInput() = 0;
    virtual bool openOutput(int portNumber) = 0;
    // Safe when output is not open.
    virtual void closeOutput() = 0;
    // One message: `length` data bytes behind the status byte (status 0: the data carries its
    // own status bytes).
    virtual bool send(int length, const BYTE* data, BYTE status) = 0;

    // MIDI receive thread: parses `len` bytes, delivering each completed event to the sink.
    // Returns 0 to keep the reader thread running, non-zero to end it.
    virtual int processInput(int len, const BYTE* bytes);

    // Starts the reader thread at time-critical priority; false when it cannot be created.
    bool startPusherThread();
    // Wakes the reader thread and waits for it to end. A driver queues its stop mark first: the
    // thread ends when processInput answers non-zero, or when it finds nothing more to do.
    void stopPusherThread();

    // Reader thread body: wait for the reader event, process, until told to end.
    void runPusherLoop();

protected:
    // Drops a half-assembled system-exclusive message; the parser is idle afterwards. Only while
    // no reader thread runs.
    void resetParser();

    TAutoResetEvent* m_hEventMIDIReader;
    TMIDIReaderRefConInterface* m_sink;
    TMIDIEventPushThread* m_pusherThread;

private:
    int parseIdle(int len, const BYTE* bytes);
    int parseInsideSysex(int len, const BYTE* bytes);
    int parseChannelMessage(int len, const BYTE* bytes);
    int startSysex(int len, const BYTE* bytes);
    int appendSysex(int len, const BYTE* bytes);
    void completeBufferedSysex();
    void deliver();
    bool sysexUnderWay() const;

    MPEVENT m_event;
    // The bytes of a system-exclusive message that came in more than one piece; its length is
    // counted separately as a check on the appending.
    QByteArray* m_sysexBuffer;
    int m_sysexLength;
    std::atomic<bool> m_pusherStopRequested;
    std::atomic<bool> m_pusherEnded;
};
