// Identifiers and their braced text form "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", as the
// registry keys of classes are spelled.
#include <dorvo/objbase.h>

#include <QUuid>

#include <cstring>

namespace {

constexpr int kBracedLength = 38; // characters without the terminating zero
constexpr int kBracedSize = kBracedLength + 1;
constexpr char16_t kHexDigits[] = u"0123456789ABCDEF";

// Positions in the braced form of the 16 bytes' high nibbles, in the order Data1 (most
// significant first), Data2, Data3, Data4[0..7].
constexpr int kBytePositions[16] = {1, 3, 5, 7, 10, 12, 15, 17, 20, 22, 25, 27, 29, 31, 33, 35};

int hexValue(char16_t c) {
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    return -1;
}

bool isDashPosition(int i) {
    return i == 9 || i == 14 || i == 19 || i == 24;
}

// The identifier's bytes in text order (Data1..Data3 most significant first).
void guidToBytes(const GUID& g, uint8_t bytes[16]) {
    for (int i = 0; i < 4; ++i)
        bytes[i] = uint8_t(g.Data1 >> (24 - 8 * i));
    bytes[4] = uint8_t(g.Data2 >> 8);
    bytes[5] = uint8_t(g.Data2);
    bytes[6] = uint8_t(g.Data3 >> 8);
    bytes[7] = uint8_t(g.Data3);
    std::memcpy(bytes + 8, g.Data4, 8);
}

GUID bytesToGuid(const uint8_t bytes[16]) {
    GUID g;
    g.Data1 =
        uint32_t(bytes[0]) << 24 | uint32_t(bytes[1]) << 16 | uint32_t(bytes[2]) << 8 | bytes[3];
    g.Data2 = uint16_t(bytes[4] << 8 | bytes[5]);
    g.Data3 = uint16_t(bytes[6] << 8 | bytes[7]);
    std::memcpy(g.Data4, bytes + 8, 8);
    return g;
}

void formatBraced(const GUID& g, OLECHAR* out) {
    uint8_t bytes[16];
    guidToBytes(g, bytes);
    out[0] = u'{';
    for (int i = 1; i < kBracedLength - 1; ++i)
        out[i] = u'-';
    for (int b = 0; b < 16; ++b) {
        out[kBytePositions[b]] = kHexDigits[bytes[b] >> 4];
        out[kBytePositions[b] + 1] = kHexDigits[bytes[b] & 0xF];
    }
    out[kBracedLength - 1] = u'}';
    out[kBracedLength] = 0;
}

// Reads no further than one character past the expected length, so an unterminated or overlong
// text is refused without running off its end.
bool hasBracedShape(LPCOLESTR text) {
    for (int i = 0; i < kBracedLength; ++i) {
        const char16_t c = text[i];
        if (c == 0)
            return false;
        const bool ok = i == 0                   ? c == u'{'
                        : i == kBracedLength - 1 ? c == u'}'
                        : isDashPosition(i)      ? c == u'-'
                                                 : hexValue(c) >= 0;
        if (!ok)
            return false;
    }
    return text[kBracedLength] == 0;
}

} // namespace

STDAPI CoCreateGuid(GUID* pguid) {
    if (pguid == nullptr)
        return E_INVALIDARG;
    // A version 4 identifier from the system's random source.
    const QUuid uuid = QUuid::createUuid();
    pguid->Data1 = uuid.data1;
    pguid->Data2 = uuid.data2;
    pguid->Data3 = uuid.data3;
    std::memcpy(pguid->Data4, uuid.data4, 8);
    return S_OK;
}

STDAPI CLSIDFromString(LPCOLESTR lpsz, LPCLSID pclsid) {
    if (lpsz == nullptr || pclsid == nullptr)
        return E_INVALIDARG;
    if (!hasBracedShape(lpsz)) {
        *pclsid = GUID_NULL;
        return CO_E_CLASSSTRING;
    }
    uint8_t bytes[16];
    for (int b = 0; b < 16; ++b)
        bytes[b] =
            uint8_t(hexValue(lpsz[kBytePositions[b]]) << 4 | hexValue(lpsz[kBytePositions[b] + 1]));
    *pclsid = bytesToGuid(bytes);
    return S_OK;
}

STDAPI StringFromCLSID(REFCLSID rclsid, LPOLESTR* lplpsz) {
    if (lplpsz == nullptr)
        return E_INVALIDARG;
    *lplpsz = static_cast<LPOLESTR>(CoTaskMemAlloc(kBracedSize * sizeof(OLECHAR)));
    if (*lplpsz == nullptr)
        return E_OUTOFMEMORY;
    formatBraced(rclsid, *lplpsz);
    return S_OK;
}

STDAPI_(int) StringFromGUID2(REFGUID rguid, LPOLESTR lpsz, int cchMax) {
    if (lpsz == nullptr || cchMax < kBracedSize)
        return 0;
    formatBraced(rguid, lpsz);
    return kBracedSize;
}
