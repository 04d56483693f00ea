// The writer of one open output port: turns an MPEVENT into the MIDI messages it stands for and
// sends them through the port's transport. Callers serialise sends to one writer.
#pragma once

#include <dorvo/dorvo2.h>

#include <memory>

class TMIDITransport;

class TAppMIDIOut {
public:
    TAppMIDIOut();
    // Closes the output.
    ~TAppMIDIOut();

    TAppMIDIOut(const TAppMIDIOut&) = delete;
    TAppMIDIOut& operator=(const TAppMIDIOut&) = delete;

    // GUI thread: opens the machine's output port `port` (1-based).
    bool open(int port);
    // GUI thread: as above on a transport of the caller's; takes it over even on failure.
    bool open(int port, std::unique_ptr<TMIDITransport> transport);

    // The sending thread, under the port's lock. E_FAIL when the event does not convert (an
    // unknown kind, a note-on with a data length, data bytes with the status bit, a long event
    // without bytes) or a message cannot be sent; nothing is sent for an event that does not
    // convert.
    HRESULT send(const MPEVENT& event);

private:
    HRESULT sendLong(const MPEVENT& event, BYTE status);
    HRESULT sendControllers(BYTE channel, const BYTE* controllers, const BYTE* values, int count);
    HRESULT sendBankAndProgram(const MPEVENT& event, BYTE channel);
    HRESULT sendChannelMessage(BYTE status, const BYTE* data, int length);

    std::unique_ptr<TMIDITransport> m_transport;
};
