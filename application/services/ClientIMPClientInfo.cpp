#include "ClientIMPClientInfo.h"

#include "InterfaceReference.h"

ClientIMPClientInfo::~ClientIMPClientInfo() {
    dorvo::releaseReference(m_outer);
}

HRESULT ClientIMPClientInfo::connect(IUnknown* outerHost) {
    dorvo::releaseReference(m_outer);
    if (!outerHost)
        return S_OK;
    const HRESULT result =
        outerHost->QueryInterface(IID_IMPClientInfo, reinterpret_cast<void**>(&m_outer));
    if (FAILED(result))
        m_outer = nullptr;
    return result;
}

HRESULT ClientIMPClientInfo::ClientInfoSlot3(ULONG_PTR a, ULONG_PTR b, ULONG_PTR c, ULONG_PTR d) {
    return m_outer ? m_outer->ClientInfoSlot3(a, b, c, d) : E_NOTIMPL;
}

HRESULT ClientIMPClientInfo::ClientInfoSlot4(ULONG_PTR a, ULONG_PTR b, ULONG_PTR c, ULONG_PTR d) {
    return m_outer ? m_outer->ClientInfoSlot4(a, b, c, d) : E_NOTIMPL;
}

HRESULT ClientIMPClientInfo::ClientInfoSlot5(ULONG_PTR a, ULONG_PTR b, ULONG_PTR c, ULONG_PTR d) {
    return m_outer ? m_outer->ClientInfoSlot5(a, b, c, d) : E_NOTIMPL;
}

HRESULT ClientIMPClientInfo::ClientInfoSlot6(ULONG_PTR a, ULONG_PTR b, ULONG_PTR c, ULONG_PTR d) {
    return m_outer ? m_outer->ClientInfoSlot6(a, b, c, d) : E_NOTIMPL;
}
