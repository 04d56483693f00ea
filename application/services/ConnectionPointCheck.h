// The consistency checks of the connection-point family (container, points and their
// enumerators) all report under the container's name, so that the warnings of the whole family
// read alike whichever of its objects a component called.
#pragma once

#include "DorvoAssert.h"

#define CONNECTION_POINT_CHECK(condition)                                                          \
    ::dorvo::checkCondition(static_cast<bool>(condition), #condition,                              \
                            "ClientIConnectionPointContainer", __LINE__)

#define CONNECTION_POINT_CHECK_TEXT(condition, text)                                               \
    ::dorvo::checkCondition(static_cast<bool>(condition), text, "ClientIConnectionPointContainer", \
                            __LINE__)

namespace dorvo {

// The argument checks that both enumerators' Next share. Gives S_OK when entries may be
// filled, else the result that Next returns at once; *fetched is 0 afterwards when given.
inline HRESULT checkEnumeratorNext(const void* pOuter, ULONG cConnections, const void* array,
                                   const char* arrayText, ULONG* pcFetched) {
    if (!CONNECTION_POINT_CHECK(pOuter != NULL))
        return E_FAIL;
    if (pcFetched)
        *pcFetched = 0;
    CONNECTION_POINT_CHECK(cConnections > 0);
    CONNECTION_POINT_CHECK(cConnections == 1 || pcFetched != NULL);
    // Nothing could be written; refusing keeps a broken caller from crashing the host.
    if (cConnections > 0 && !CONNECTION_POINT_CHECK_TEXT(array, arrayText))
        return E_POINTER;
    return S_OK;
}

} // namespace dorvo
