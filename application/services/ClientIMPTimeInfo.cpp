#include "ClientIMPTimeInfo.h"

namespace {
// Every format that counts in musical time converts to format 0.
constexpr DWORD convertibleToZeroFirst = 1;
constexpr DWORD convertibleToZeroLast = 3;
constexpr DWORD ticksPerQuarterNote = 960;
} // namespace

HRESULT ClientIMPTimeInfo::CheckConversion(LONGLONG, DWORD sourceFormat, DWORD, DWORD,
                                           DWORD targetFormat, DWORD) {
    if (sourceFormat == targetFormat)
        return S_OK;
    if (targetFormat == 0 && sourceFormat >= convertibleToZeroFirst &&
        sourceFormat <= convertibleToZeroLast)
        return S_OK;
    return MP_E_TIMEFORMAT;
}

HRESULT ClientIMPTimeInfo::TimeInfoSlot4(LONGLONG, DWORD, DWORD, DWORD, DWORD, DWORD) {
    return E_NOTIMPL;
}

HRESULT ClientIMPTimeInfo::TimeInfoSlot5(DWORD, DWORD, DWORD, DWORD, DWORD, DWORD) {
    return E_NOTIMPL;
}

HRESULT ClientIMPTimeInfo::GetTimeValue(DWORD which, DWORD* value) {
    if (!value)
        return E_INVALIDARG;
    switch (which) {
    case 1:
        *value = 1;
        return S_OK;
    case 2:
        *value = ticksPerQuarterNote;
        return S_OK;
    default:
        return MP_E_TIMEFORMAT;
    }
}
