// The transport of one port on the multimedia MIDI devices. Input: the device fills 640 queued
// buffers (system exclusive) or reports short messages to a callback, which only records them in
// a small ring and wakes the reader thread; the reader gives buffers back and parses. Output:
// short messages go out at once, long ones through 8 buffers, split into chunks with pauses that
// slow devices need between them.
#pragma once

#include "TMIDITransport.h"

#include <atomic>
#include <chrono>
#include <dorvo/mmsystem.h>

class TAutoResetEvent;
class TMIDIInputQueue;

class TWinMIDI : public TMIDITransport {
    Q_OBJECT

public:
    static constexpr int kInputBufferCount = 640;
    static constexpr int kOutputBufferCount = 8;
    static constexpr int kBufferSize = 4096;
    static constexpr int kInputQueueSize = 7680;
    // How long the layer's thread waits for room in a full ring before input is lost: the
    // reader is stuck then, not merely late.
    static constexpr std::chrono::seconds kFullRingPatience{2};
    static constexpr unsigned long kFullRingPollMicroseconds = 200;
    // Free ring space a short message must leave: room for a report of every input buffer, so
    // that a flood of short messages never costs the device one of its buffers.
    static constexpr int kShortMessageReserve = 5136;
    static constexpr DWORD kChunkPauseMs = 100;

    explicit TWinMIDI(QObject* parent = nullptr);
    ~TWinMIDI() override;

    bool openInput(int portNumber, TMIDIReaderRefConInterface* sink) override;
    void closeInput() override;
    bool openOutput(int portNumber) override;
    void closeOutput() override;
    // Caller's thread, serialised by the caller. A long message blocks until every chunk but
    // the last is done, with a pause after each; a short message waits for the long ones sent
    // before it, so that messages leave in the order they were sent.
    bool send(int length, const BYTE* data, BYTE status) override;
    // MIDI receive thread: drains the ring; the bytes given are ignored.
    int processInput(int len, const BYTE* bytes) override;

    // The device's input callback, on a thread of the MIDI layer.
    static void midiInProc(HMIDIIN handle, UINT message, DWORD_PTR instance, DWORD_PTR param1,
                           DWORD_PTR param2);
    static void midiOutProc(HMIDIOUT handle, UINT message, DWORD_PTR instance, DWORD_PTR param1,
                            DWORD_PTR param2);

private:
    // One record of the ring: the message code and its first parameter. For buffer reports the
    // parameter is the buffer's index in the header block: a header's address does not fit.
    // A short message's record is followed by its arrival time (a DWORD, dorvoMidiEventTime).
    struct InputRecord {
        DWORD message;
        DWORD param;
    };
    static_assert(sizeof(InputRecord) == 8);

    void onInputMessage(UINT message, DWORD_PTR param1);
    bool inputHeaderIndex(DWORD_PTR header, DWORD& index) const;
    bool allocateInputBlocks();
    bool queueInputBuffers();
    void queueStopRecord();
    void releaseInputDevice();
    void freeInputBlocks();
    void giveBackInputHeader(MIDIHDR* header);
    void deliverInputBuffer(DWORD index);
    void deliverShortMessage(DWORD packedMessage);

    bool allocateOutputBlocks();
    void freeOutputBlocks();
    bool sendLongMessage(int length, const BYTE* data, BYTE status);
    bool sendChunk(BYTE status, const BYTE* data, int chunkLength, bool waitForCompletion);
    void waitUntilDone(MIDIHDR& header);
    void waitForLongMessages();
    MIDIHDR* takeFreeOutputHeader();
    void pauseAfterChunk();

    MIDIHDR* m_inputHeaders;
    char* m_inputData;
    MIDIHDR* m_outputHeaders;
    char* m_outputData;
    HMIDIIN m_hMidiIn;
    HMIDIOUT m_hMidiOut;
    std::atomic<bool> m_inputRunning;
    std::atomic<bool> m_inputLossReported{false};
    TMIDIInputQueue* m_inputQueue;
    TAutoResetEvent* m_outputDone;
};
