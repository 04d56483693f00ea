/* Every SDK header compiled as C11, as a component written in C compiles them. The table slots
 * and record layouts seen from C are handed to the C++ test, which compares them with its own. */
#include "IncludeAllHeaders.h"

#include "CLayout.h"

#define SLOT(vtbl, method) (offsetof(vtbl, method) / sizeof(void*))

const size_t cLayout[] = {
    sizeof(MPEVENT),
    offsetof(MPEVENT, port),
    offsetof(MPEVENT, channel),
    offsetof(MPEVENT, selector),
    offsetof(MPEVENT, sequence),
    offsetof(MPEVENT, received),
    offsetof(MPEVENT, dataLength),
    offsetof(MPEVENT, data),
    sizeof(MPPORTINFO),
    offsetof(MPPORTINFO, name),
    sizeof(MPFILTERINFO),
    sizeof(MPNOTIFICATION),
    sizeof(STATSTG),
    offsetof(STATSTG, clsid),
    sizeof(PROPPAGEINFO),
    sizeof(CONNECTDATA),
    sizeof(CAUUID),
    sizeof(LARGE_INTEGER),
    sizeof(WCHAR),
    sizeof(BOOL),
    SLOT(IStreamVtbl, Seek),
    SLOT(IStreamVtbl, Clone),
    SLOT(IPersistStreamVtbl, GetSizeMax),
    SLOT(IPropertyPageVtbl, TranslateAccelerator),
    SLOT(IConnectionPointVtbl, EnumConnections),
    SLOT(IMPClientServices2Vtbl, SetPortUsage),
    SLOT(IMPEventQueueVtbl, QueueSlot10),
    SLOT(IMPTimeInfoVtbl, GetTimeValue),
    SLOT(IMPClientProgressHandlerVtbl, AbortProgress),
    SLOT(IMPDeviceSync2Vtbl, GetRecallInfo),
    SLOT(IDorvo2CompVtbl, Resync),
    SLOT(IMPPageHostVtbl, Call),
};

const size_t cLayoutCount = sizeof cLayout / sizeof cLayout[0];
