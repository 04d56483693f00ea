// The host keeps identifiers as QUuid (ordered, hashable, printable) and hands GUIDs to
// components; both hold the same four fields.
#pragma once

#include <dorvo/wintypes.h>

#include <QUuid>

#include <cstring>

inline GUID guidFromUuid(const QUuid& id) {
    GUID guid;
    guid.Data1 = id.data1;
    guid.Data2 = id.data2;
    guid.Data3 = id.data3;
    std::memcpy(guid.Data4, id.data4, sizeof guid.Data4);
    return guid;
}

inline QUuid uuidFromGuid(const GUID& guid) {
    return QUuid(guid.Data1, guid.Data2, guid.Data3, guid.Data4[0], guid.Data4[1], guid.Data4[2],
                 guid.Data4[3], guid.Data4[4], guid.Data4[5], guid.Data4[6], guid.Data4[7]);
}
