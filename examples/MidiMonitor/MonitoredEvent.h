// One event as the MIDI Monitor lists it: when it came, on which port, and its MIDI bytes.
#pragma once

#include <SysexBytes.h>

#include <dorvo/dorvo2.h>

#include <QString>
#include <QTime>

struct MonitoredEvent {
    std::uint64_t serial = 0; // counts every event the monitor kept, from 1
    QTime time;
    DWORD port = 0;
    DWORD type = 0;
    DWORD channel = 0;
    examples::Bytes bytes; // as on the wire, status byte first

    // MIDI receive thread: the event as the host's queue gave it (longBytes: a long event's
    // bytes after its first byte).
    static MonitoredEvent fromEvent(const MPEVENT& event, const examples::Bytes& longBytes);

    // "Note On", "System Exclusive", ...
    QString kindText() const;
    // 1-16 for channel messages, empty for system exclusive.
    QString channelText() const;
    // All bytes of a short message; system exclusive shortened to its start and end.
    QString bytesText() const;
};
