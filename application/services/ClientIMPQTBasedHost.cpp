#include "ClientIMPQTBasedHost.h"

#include <QLibraryInfo>
#include <QVersionNumber>

HRESULT ClientIMPQTBasedHost::IsQtHost(DWORD* isQtHost) {
    if (!isQtHost)
        return E_POINTER;
    *isQtHost = 1;
    return S_OK;
}

HRESULT ClientIMPQTBasedHost::MatchApplication(WORD value) {
    return value == applicationIdentity() ? S_OK : E_FAIL;
}

WORD ClientIMPQTBasedHost::applicationIdentity() {
    const QVersionNumber running = QLibraryInfo::version();
    return DORVO_QT_APPLICATION_ID(running.majorVersion(), running.minorVersion());
}
