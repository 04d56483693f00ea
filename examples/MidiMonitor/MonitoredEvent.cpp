#include "MonitoredEvent.h"

namespace {

struct Kind {
    DWORD type;
    BYTE status;
    int dataBytes;
    const char* name;
};

constexpr Kind kShortKinds[] = {
    {MPEVENT_NOTEOFF, 0x80, 2, "Note Off"},
    {MPEVENT_NOTEON, 0x90, 2, "Note On"},
    {MPEVENT_POLYPRESSURE, 0xA0, 2, "Poly Pressure"},
    {MPEVENT_CONTROLCHANGE, 0xB0, 2, "Control Change"},
    {MPEVENT_PROGRAMCHANGE, 0xC0, 1, "Program Change"},
    {MPEVENT_CHANNELPRESSURE, 0xD0, 1, "Channel Pressure"},
    {MPEVENT_PITCHBEND, 0xE0, 2, "Pitch Bend"},
};

const Kind* shortKind(DWORD type) {
    for (const Kind& kind : kShortKinds) {
        if (kind.type == type)
            return &kind;
    }
    return nullptr;
}

} // namespace

MonitoredEvent MonitoredEvent::fromEvent(const MPEVENT& event, const examples::Bytes& longBytes) {
    MonitoredEvent monitored;
    monitored.time = QTime::currentTime();
    monitored.port = event.port;
    monitored.type = event.type;
    monitored.channel = event.channel & 0x0F;
    if (const Kind* kind = shortKind(event.type)) {
        monitored.bytes.push_back(BYTE(kind->status | monitored.channel));
        for (int i = 0; i < kind->dataBytes; ++i)
            monitored.bytes.push_back(event.data[i] & 0x7F);
    } else if (event.type == MPEVENT_SYSEX || event.type == MPEVENT_SYSEXCONTINUATION) {
        // The queue leaves out the first byte: F0, or F7 for a continuation.
        monitored.bytes.push_back(event.type == MPEVENT_SYSEX ? 0xF0 : 0xF7);
        monitored.bytes.insert(monitored.bytes.end(), longBytes.begin(), longBytes.end());
    }
    return monitored;
}

QString MonitoredEvent::kindText() const {
    if (const Kind* kind = shortKind(type))
        return QString::fromLatin1(kind->name);
    if (type == MPEVENT_SYSEX)
        return QStringLiteral("System Exclusive");
    if (type == MPEVENT_SYSEXCONTINUATION)
        return QStringLiteral("SysEx Continuation");
    return QStringLiteral("Unknown (0x%1)").arg(type, 0, 16);
}

QString MonitoredEvent::channelText() const {
    return shortKind(type) ? QString::number(channel + 1) : QString();
}

QString MonitoredEvent::bytesText() const {
    return shortKind(type) ? examples::hexText(bytes) : examples::shortenedHex(bytes);
}
