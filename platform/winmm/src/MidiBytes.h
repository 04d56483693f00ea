// Facts about MIDI bytes that the parsers of both directions share.
#pragma once

#include <cstddef>
#include <cstdint>

namespace dorvo::winmm {

inline constexpr std::uint8_t kSysexStart = 0xF0;
inline constexpr std::uint8_t kSysexEnd = 0xF7;

constexpr bool isStatusByte(std::uint8_t byte) {
    return byte >= 0x80;
}
constexpr bool isRealTimeByte(std::uint8_t byte) {
    return byte >= 0xF8;
}
constexpr bool isChannelStatus(std::uint8_t byte) {
    return byte >= 0x80 && byte < 0xF0;
}

// Length, status included, of the message that `status` begins; 0 for the system-exclusive
// bytes F0 and F7 (variable length) and for data bytes.
std::size_t shortMessageLength(std::uint8_t status);

// The packed form of a short message: status in bits 0-7, data bytes in bits 8-15 and 16-23.
constexpr std::uint32_t packShortMessage(const std::uint8_t* bytes, std::size_t count) {
    std::uint32_t packed = 0;
    for (std::size_t i = 0; i < count && i < 3; ++i)
        packed |= std::uint32_t(bytes[i]) << (8 * i);
    return packed;
}

// Hands `bytes` to `send` in pieces of at most `maxPiece` bytes, in order, until `send` returns
// false; true when every piece went.
template <class Send>
bool sendInPieces(const std::uint8_t* bytes, std::size_t count, std::size_t maxPiece, Send send) {
    while (count > 0) {
        const std::size_t piece = count < maxPiece ? count : maxPiece;
        if (!send(bytes, piece))
            return false;
        bytes += piece;
        count -= piece;
    }
    return true;
}

} // namespace dorvo::winmm
