// The sink of a transport's input side: receives every event the parser completes.
#pragma once

#include <dorvo/dorvo2.h>

class TMIDIReaderRefConInterface {
public:
    // MIDI receive thread: one parsed event. The record, and for system exclusive the bytes it
    // points at, are valid only during the call.
    virtual void receiveEvent(MPEVENT* event) = 0;
    virtual ~TMIDIReaderRefConInterface() = default;
};
