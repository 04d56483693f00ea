#include "StateFormat.h"

#include <QtEndian>

#include <array>
#include <cstring>

namespace examples {

namespace {

std::array<std::uint32_t, 256> makeCrcTable() {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t value = i;
        for (int bit = 0; bit < 8; ++bit)
            value = (value & 1) ? 0xEDB88320u ^ (value >> 1) : value >> 1;
        table[i] = value;
    }
    return table;
}

// Reads exactly count bytes; false when the stream gave fewer or failed.
bool readExactly(IStream* stream, char* data, ULONG count) {
    while (count > 0) {
        ULONG got = 0;
        const HRESULT hr = stream->Read(data, count, &got);
        if (FAILED(hr) || got == 0 || got > count)
            return false;
        data += got;
        count -= got;
    }
    return true;
}

} // namespace

std::uint32_t crc32(const QByteArray& bytes) {
    static const auto table = makeCrcTable();
    std::uint32_t crc = 0xFFFFFFFFu;
    for (const char byte : bytes)
        crc = table[(crc ^ std::uint8_t(byte)) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

QByteArray frameState(const char magic[4], std::uint16_t version, const QByteArray& payload) {
    QByteArray frame(kStateHeaderSize, '\0');
    std::memcpy(frame.data(), magic, 4);
    qToBigEndian(version, frame.data() + 4);
    qToBigEndian(std::uint32_t(payload.size()), frame.data() + 6);
    qToBigEndian(crc32(payload), frame.data() + 10);
    return frame + payload;
}

HRESULT writeState(IStream* stream, const QByteArray& frame) {
    if (!stream)
        return STG_E_INVALIDPOINTER;
    ULONG written = 0;
    const HRESULT hr = stream->Write(frame.constData(), ULONG(frame.size()), &written);
    if (FAILED(hr))
        return hr;
    return written == ULONG(frame.size()) ? S_OK : E_FAIL;
}

HRESULT readState(IStream* stream, const char magic[4], std::uint16_t newestVersion,
                  std::uint32_t maxPayload, std::uint16_t* version, QByteArray* payload) {
    if (!stream)
        return STG_E_INVALIDPOINTER;
    if (!version || !payload)
        return E_POINTER;
    char header[kStateHeaderSize];
    if (!readExactly(stream, header, kStateHeaderSize))
        return kStateTruncated;
    if (std::memcmp(header, magic, 4) != 0)
        return kStateDamaged;
    const auto frameVersion = qFromBigEndian<std::uint16_t>(header + 4);
    const auto length = qFromBigEndian<std::uint32_t>(header + 6);
    const auto checksum = qFromBigEndian<std::uint32_t>(header + 10);
    if (frameVersion == 0)
        return kStateDamaged;
    if (frameVersion > newestVersion)
        return kStateTooNew;
    if (length > maxPayload)
        return kStateDamaged;
    QByteArray bytes(qsizetype(length), '\0');
    if (!readExactly(stream, bytes.data(), length))
        return kStateTruncated;
    if (crc32(bytes) != checksum)
        return kStateDamaged;
    *version = frameVersion;
    *payload = bytes;
    return S_OK;
}

QString stateStatusText(HRESULT code) {
    switch (code) {
    case kStateDamaged:
        return QStringLiteral("The saved settings are damaged or belong to another component");
    case kStateTooNew:
        return QStringLiteral("The saved settings come from a newer version of this component");
    case kStateTruncated:
        return QStringLiteral("The saved settings are incomplete");
    default:
        return QString();
    }
}

} // namespace examples
