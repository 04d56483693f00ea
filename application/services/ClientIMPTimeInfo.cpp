#include "ClientIMPTimeInfo.h"

#include "InterfaceReference.h"

namespace {
// Every format that counts in musical time converts to format 0.
constexpr DWORD convertibleToZeroFirst = 1;
constexpr DWORD convertibleToZeroLast = 3;
constexpr DWORD ticksPerQuarterNote = 960;
} // namespace

ClientIMPTimeInfo::~ClientIMPTimeInfo() {
    dorvo::releaseReference(m_outer);
}

HRESULT ClientIMPTimeInfo::connect(IUnknown* outerHost) {
    dorvo::releaseReference(m_outer);
    m_connected = true;
    if (!outerHost)
        return S_OK;
    const HRESULT result =
        outerHost->QueryInterface(IID_IMPTimeInfo, reinterpret_cast<void**>(&m_outer));
    if (FAILED(result))
        m_outer = nullptr;
    return result;
}

HRESULT ClientIMPTimeInfo::CheckConversion(LONGLONG time, DWORD sourceFormat, DWORD a3, DWORD a4,
                                           DWORD targetFormat, DWORD a6) {
    if (m_connected)
        return m_outer ? m_outer->CheckConversion(time, sourceFormat, a3, a4, targetFormat, a6)
                       : E_FAIL;
    if (sourceFormat == targetFormat)
        return S_OK;
    if (targetFormat == 0 && sourceFormat >= convertibleToZeroFirst &&
        sourceFormat <= convertibleToZeroLast)
        return S_OK;
    return MP_E_TIMEFORMAT;
}

HRESULT ClientIMPTimeInfo::TimeInfoSlot4(LONGLONG time, DWORD a2, DWORD a3, DWORD a4, DWORD a5,
                                         DWORD a6) {
    if (m_outer)
        return m_outer->TimeInfoSlot4(time, a2, a3, a4, a5, a6);
    return E_NOTIMPL;
}

HRESULT ClientIMPTimeInfo::TimeInfoSlot5(DWORD a1, DWORD a2, DWORD a3, DWORD a4, DWORD a5,
                                         DWORD a6) {
    if (m_outer)
        return m_outer->TimeInfoSlot5(a1, a2, a3, a4, a5, a6);
    return E_NOTIMPL;
}

HRESULT ClientIMPTimeInfo::GetTimeValue(DWORD which, DWORD* value) {
    if (m_connected)
        return m_outer ? m_outer->GetTimeValue(which, value) : E_NOTIMPL;
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
