#include "TAppMIDIOut.h"

#include "TWinMIDI.h"

#include <new>

namespace {

constexpr BYTE kControlChange = 0xB0;
constexpr BYTE kProgramChange = 0xC0;
constexpr BYTE kSysexStatus = 0xF0;
constexpr BYTE kContinuationStatus = 0xF7;

constexpr BYTE kNrpnControllers[] = {99, 98, 6, 38};
constexpr BYTE kRpnControllers[] = {101, 100, 6, 38};
constexpr BYTE kBankControllers[] = {0, 32};

struct ShortKind {
    DWORD type;
    BYTE status;
    int dataBytes;
};

constexpr ShortKind kShortKinds[] = {
    {MPEVENT_NOTEOFF, 0x80, 2},       {MPEVENT_NOTEON, 0x90, 2},
    {MPEVENT_POLYPRESSURE, 0xA0, 2},  {MPEVENT_CONTROLCHANGE, 0xB0, 2},
    {MPEVENT_PROGRAMCHANGE, 0xC0, 1}, {MPEVENT_CHANNELPRESSURE, 0xD0, 1},
    {MPEVENT_PITCHBEND, 0xE0, 2},
};

const ShortKind* shortKindOf(DWORD type) {
    for (const ShortKind& kind : kShortKinds) {
        if (kind.type == type)
            return &kind;
    }
    return nullptr;
}

// A data byte with the status bit would be read as the start of another message by every
// device behind the port.
bool areDataBytes(const BYTE* bytes, int count) {
    for (int i = 0; i < count; ++i) {
        if (bytes[i] & 0x80)
            return false;
    }
    return true;
}

} // namespace

TAppMIDIOut::TAppMIDIOut() = default;

TAppMIDIOut::~TAppMIDIOut() {
    if (m_transport)
        m_transport->closeOutput();
}

bool TAppMIDIOut::open(int port) {
    std::unique_ptr<TMIDITransport> transport(new (std::nothrow) TWinMIDI);
    return open(port, std::move(transport));
}

bool TAppMIDIOut::open(int port, std::unique_ptr<TMIDITransport> transport) {
    m_transport = std::move(transport);
    return m_transport && m_transport->openOutput(port);
}

HRESULT TAppMIDIOut::send(const MPEVENT& event) {
    if (!m_transport)
        return E_FAIL;
    const BYTE channel = static_cast<BYTE>(event.channel & 0x0F);
    switch (event.type) {
    case MPEVENT_SYSEX:
        return sendLong(event, kSysexStatus);
    case MPEVENT_SYSEXCONTINUATION:
        return sendLong(event, kContinuationStatus);
    case MPEVENT_NRPN:
        return sendControllers(channel, kNrpnControllers, event.data, 4);
    case MPEVENT_RPN:
        return sendControllers(channel, kRpnControllers, event.data, 4);
    case MPEVENT_BANKPROGRAM:
        return sendBankAndProgram(event, channel);
    case MPEVENT_NOTEON:
        // A note-on that claims a data length is a malformed record, not a note.
        if (event.dataLength != 0)
            return E_FAIL;
        break;
    default:
        break;
    }
    const ShortKind* kind = shortKindOf(event.type);
    if (!kind)
        return E_FAIL;
    return sendChannelMessage(static_cast<BYTE>(kind->status | channel), event.data,
                              kind->dataBytes);
}

HRESULT TAppMIDIOut::sendLong(const MPEVENT& event, BYTE status) {
    // Without bytes the status alone would go out: a lone 0xF0 leaves every device behind the
    // port waiting for the end of a message that never comes.
    if (event.dataLength == 0 || !event.longData)
        return E_FAIL;
    const int length = static_cast<int>(event.dataLength);
    if (length < 0)
        return E_FAIL;
    return m_transport->send(length, event.longData, status) ? S_OK : E_FAIL;
}

HRESULT TAppMIDIOut::sendControllers(BYTE channel, const BYTE* controllers, const BYTE* values,
                                     int count) {
    // Checked as a whole first: half a parameter number must not reach the device.
    if (!areDataBytes(values, count))
        return E_FAIL;
    for (int i = 0; i < count; ++i) {
        const BYTE message[2] = {controllers[i], values[i]};
        if (!m_transport->send(2, message, static_cast<BYTE>(kControlChange | channel)))
            return E_FAIL;
    }
    return S_OK;
}

HRESULT TAppMIDIOut::sendBankAndProgram(const MPEVENT& event, BYTE channel) {
    if (!areDataBytes(event.data, 3))
        return E_FAIL;
    const HRESULT bank = sendControllers(channel, kBankControllers, event.data, 2);
    if (FAILED(bank))
        return bank;
    return sendChannelMessage(static_cast<BYTE>(kProgramChange | channel), event.data + 2, 1);
}

HRESULT TAppMIDIOut::sendChannelMessage(BYTE status, const BYTE* data, int length) {
    if (!areDataBytes(data, length))
        return E_FAIL;
    return m_transport->send(length, data, status) ? S_OK : E_FAIL;
}
