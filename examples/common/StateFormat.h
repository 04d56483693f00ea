// The frame around an example component's saved state: a magic of the component, a format
// version, the payload's length and its CRC-32, then the payload. Damaged or foreign data is
// refused before any of it is interpreted.
//
//     offset 0  4 bytes  magic (e.g. "DSYN")
//            4  2 bytes  format version, big-endian
//            6  4 bytes  payload length, big-endian
//           10  4 bytes  CRC-32 (IEEE) of the payload, big-endian
//           14           payload
#pragma once

#include <dorvo/objbase.h>

#include <QByteArray>
#include <QString>

#include <cstdint>

namespace examples {

// Result codes of reading a state (facility of the interface, codes of the examples).
inline constexpr HRESULT kStateDamaged = DORVO_HR(0x80047D40);   // not a state of this component
inline constexpr HRESULT kStateTooNew = DORVO_HR(0x80047D41);    // a later format version
inline constexpr HRESULT kStateTruncated = DORVO_HR(0x80047D42); // the stream ended early

inline constexpr std::size_t kStateHeaderSize = 14;

std::uint32_t crc32(const QByteArray& bytes);

QByteArray frameState(const char magic[4], std::uint16_t version, const QByteArray& payload);

// GUI thread: writes the whole frame. STG_E_INVALIDPOINTER without a stream; the stream's own
// failure, or E_FAIL when it wrote less.
HRESULT writeState(IStream* stream, const QByteArray& frame);

// GUI thread: reads one frame of this magic, at most maxPayload bytes of payload, and checks it.
// *version is the frame's version (never above newestVersion on success).
HRESULT readState(IStream* stream, const char magic[4], std::uint16_t newestVersion,
                  std::uint32_t maxPayload, std::uint16_t* version, QByteArray* payload);

// What the codes above mean, for a component's GetStatusText; empty for any other code.
QString stateStatusText(HRESULT code);

} // namespace examples
