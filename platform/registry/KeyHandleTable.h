// Open key handles. An HKEY is a number from this table, never a pointer, so a garbage or closed
// handle is recognised instead of followed. Numbers are not reused.
//
// A handle names its key by path, not by node: the tree is read again whenever another process
// changes the file. A key deleted through this process marks its handles deleted (they stay so
// even when a key of that name is made again, as on Windows); a key deleted by another process
// shows as deleted because its path no longer leads anywhere.
#pragma once

#include "HiveFile.h"

#include <QStringList>
#include <dorvo/winreg.h>
#include <optional>
#include <unordered_map>

namespace dorvo::registry {

struct KeyHandle {
    HiveFile::Hive hive = HiveFile::Hive::Machine;
    QStringList path; // names from the hive's root, spelt as stored
    REGSAM access = 0;
    // A predefined key, or a handle opened on one: it exists even when its path is missing
    // from the file (HKEY_CLASSES_ROOT's "Software\Classes" is made when first written to).
    bool alwaysExists = false;
    bool deleted = false;
};

class KeyHandleTable {
public:
    // The key of an open or predefined handle; nullopt for anything else.
    std::optional<KeyHandle> find(HKEY key) const;
    HKEY add(const KeyHandle& handle);
    // Closing a predefined handle is allowed and does nothing. False for an unknown one.
    bool close(HKEY key);
    void markDeleted(HiveFile::Hive hive, const QStringList& path);

private:
    std::unordered_map<uintptr_t, KeyHandle> m_handles;
    uintptr_t m_nextNumber = 0x1000;
};

} // namespace dorvo::registry
