// System-exclusive bytes as the examples show, type and store them.
#pragma once

#include <dorvo/objbase.h>

#include <QString>

#include <vector>

namespace examples {

using Bytes = std::vector<BYTE>;

// "F0 7D 31 F7".
QString hexText(const Bytes& bytes);
// The first `head` bytes, an ellipsis and the last byte when the message is longer than
// head + 1 bytes, then the length: "F0 7D 31 00 11 ... F7 (17 bytes)".
QString shortenedHex(const Bytes& bytes, int head = 8);

// Hex bytes as a user types them: pairs of hex digits, separated by blanks, commas or nothing,
// each optionally written with "0x". On failure *error says what is wrong and the result is
// empty.
Bytes parseHex(const QString& text, QString* error);

// Complete system-exclusive messages (F0 ... F7) in bytes. Bytes outside a message and those
// of messages cut short by another status byte are skipped and counted in *skipped; real-time
// bytes are dropped silently wherever they are.
std::vector<Bytes> splitSysex(const Bytes& bytes, std::size_t* skipped = nullptr);

// True for one complete message: F0, data bytes below 0x80, F7.
bool isCompleteSysex(const Bytes& message);

} // namespace examples
