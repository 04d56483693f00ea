// The registry functions. One mutex serialises them within the process; the hive files'
// transactions (HiveFile) serialise changes between processes.
#include "HiveFile.h"
#include "KeyHandleTable.h"
#include "KeyPath.h"
#include "LayeredHive.h"
#include "RegistryFolder.h"

#include <algorithm>
#include <cstring>
#include <dorvo/winreg.h>
#include <mutex>

namespace dorvo::registry {
namespace {

struct RegistryState {
    std::mutex mutex;
    LayeredHive machine;
    HiveFile user{HiveFile::Hive::User, registryFolder};
    KeyHandleTable handles;

    // Where a change of the hive goes.
    HiveFile& hive(HiveFile::Hive which) {
        return which == HiveFile::Hive::Machine ? machine.own() : user;
    }
    // What reads of the hive see, brought up to date.
    LONG refreshView(HiveFile::Hive which, const RegistryKey*& root) {
        const LONG status = which == HiveFile::Hive::Machine ? machine.refresh() : user.refresh();
        if (status == ERROR_SUCCESS)
            root = which == HiveFile::Hive::Machine ? &machine.view() : &user.root();
        return status;
    }
};

// Never destroyed: other libraries' static destructors may still close keys at exit.
RegistryState& registry() {
    static RegistryState* const state = new RegistryState;
    return *state;
}

// No exception may reach a caller of these C functions; allocation is the only thing that
// throws here.
template <typename Body> LONG guarded(const Body& body) noexcept {
    try {
        return body();
    } catch (...) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
}

const RegistryKey& emptyKey() {
    static const RegistryKey* const key = new RegistryKey;
    return *key;
}

// Follows names down from key and appends their stored spellings to path; nullptr when one is
// missing.
const RegistryKey* walk(const RegistryKey* key, const QStringList& names, QStringList& path) {
    for (const QString& name : names) {
        key = key->findSubkey(name);
        if (key == nullptr)
            return nullptr;
        path.append(key->name());
    }
    return key;
}

LONG findKey(const RegistryKey& root, const KeyHandle& handle, const RegistryKey*& key,
             QStringList& path) {
    if (handle.deleted)
        return ERROR_KEY_DELETED;
    key = walk(&root, handle.path, path);
    if (key == nullptr && !handle.alwaysExists)
        return ERROR_KEY_DELETED;
    if (key == nullptr) {
        key = &emptyKey();
        path = handle.path;
    }
    return ERROR_SUCCESS;
}

// As findKey, for a change. A predefined key's missing path is made when makeMissing is set,
// else there is nothing in it to change.
LONG findKeyToChange(RegistryKey& root, const KeyHandle& handle, bool makeMissing, bool& changed,
                     RegistryKey*& key, QStringList& path) {
    if (handle.deleted)
        return ERROR_KEY_DELETED;
    key = &root;
    for (const QString& name : handle.path) {
        RegistryKey* subkey = key->findSubkey(name);
        if (subkey == nullptr && !handle.alwaysExists)
            return ERROR_KEY_DELETED;
        if (subkey == nullptr && !makeMissing)
            return ERROR_FILE_NOT_FOUND;
        if (subkey == nullptr) {
            subkey = &key->addSubkey(name);
            changed = true;
        }
        path.append(subkey->name());
        key = subkey;
    }
    return ERROR_SUCCESS;
}

// Whether reads see the handle's key (in the machine hive, perhaps only in the machine-wide
// registry beneath the user's own).
bool visible(RegistryState& state, const KeyHandle& handle) {
    const RegistryKey* root = nullptr;
    QStringList path;
    return !handle.deleted && state.refreshView(handle.hive, root) == ERROR_SUCCESS &&
           walk(root, handle.path, path) != nullptr;
}

// The handle as a change treats it: a key that only the machine-wide registry holds is, to the
// user's own hive, a key that exists without being written yet, as a predefined key does.
KeyHandle forChange(RegistryState& state, const KeyHandle& handle) {
    KeyHandle target = handle;
    if (!handle.alwaysExists && handle.hive == HiveFile::Hive::Machine)
        target.alwaysExists = visible(state, handle);
    return target;
}

bool allowed(const KeyHandle& handle, REGSAM right) {
    return (handle.access & right) == right;
}

// Every call on an open handle: under the process's lock, the state and the handle, when the
// handle carries `right` (0 for none).
template <typename Use> LONG useHandle(HKEY hKey, REGSAM right, const Use& use) {
    RegistryState& state = registry();
    const std::lock_guard lock(state.mutex);
    const std::optional<KeyHandle> base = state.handles.find(hKey);
    if (!base)
        return ERROR_INVALID_HANDLE;
    if (!allowed(*base, right))
        return ERROR_ACCESS_DENIED;
    return use(state, *base);
}

// The reading calls' common part: the handle's key as the hive file holds it now, when the
// handle carries `right`. read receives the handle, the key and the key's stored path.
template <typename Read> LONG readKey(HKEY hKey, REGSAM right, const Read& read) {
    return useHandle(hKey, right, [&](RegistryState& state, const KeyHandle& base) -> LONG {
        const RegistryKey* root = nullptr;
        if (const LONG status = state.refreshView(base.hive, root))
            return status;
        const RegistryKey* key = nullptr;
        QStringList path;
        if (const LONG status = findKey(*root, base, key, path))
            return status;
        return read(base, *key, path);
    });
}

// The value-changing calls' common part: change receives the handle and its key (made again
// when it went missing and makeMissing is set) inside one change of the hive file, and sets
// `changed` when it changed something.
template <typename Change> LONG changeValues(HKEY hKey, bool makeMissing, const Change& change) {
    return useHandle(hKey, KEY_SET_VALUE, [&](RegistryState& state, const KeyHandle& base) {
        const KeyHandle target = forChange(state, base);
        return state.hive(base.hive).modify([&](RegistryKey& root, bool& changed) -> LONG {
            RegistryKey* key = nullptr;
            QStringList path;
            if (const LONG found = findKeyToChange(root, target, makeMissing, changed, key, path))
                return found;
            return change(base, *key, changed);
        });
    });
}

// The key that names lead to from the handle's key, and its parent; no names mean the handle's
// own key. path receives the key's stored path.
LONG findKeyToDelete(RegistryKey& root, const KeyHandle& handle, QStringList names,
                     RegistryKey*& parent, RegistryKey*& target, QStringList& path) {
    bool unchanged = false;
    RegistryKey* key = nullptr;
    if (const LONG found = findKeyToChange(root, handle, false, unchanged, key, path))
        return found;
    if (names.isEmpty()) {
        names = path;
        path.clear();
        key = &root;
    }
    if (names.isEmpty())
        return ERROR_ACCESS_DENIED; // a hive's root
    const QString targetName = names.takeLast();
    parent = const_cast<RegistryKey*>(walk(key, names, path));
    target = parent ? parent->findSubkey(targetName) : nullptr;
    if (target == nullptr)
        return ERROR_FILE_NOT_FOUND;
    path.append(target->name());
    return ERROR_SUCCESS;
}

// One subkey's name by index, as RegEnumKeyExW hands it out.
LONG enumerateKey(const RegistryKey& key, DWORD dwIndex, LPWSTR lpName, DWORD* lpcchName,
                  LPWSTR lpClass, DWORD* lpcchClass, FILETIME* lpftLastWriteTime) {
    if (dwIndex >= key.subkeyCount())
        return ERROR_NO_MORE_ITEMS;
    const QString& name = key.subkeyAt(dwIndex).name();
    const DWORD length = DWORD(name.size());
    if (length >= *lpcchName || (lpClass != nullptr && *lpcchClass == 0))
        return ERROR_MORE_DATA;
    std::memcpy(lpName, name.utf16(), length * sizeof(WCHAR));
    lpName[length] = 0;
    *lpcchName = length;
    // Keys have no class and no write time here.
    if (lpClass != nullptr) {
        lpClass[0] = 0;
        *lpcchClass = 0;
    }
    if (lpftLastWriteTime != nullptr)
        *lpftLastWriteTime = FILETIME{0, 0};
    return ERROR_SUCCESS;
}

} // namespace
} // namespace dorvo::registry

using namespace dorvo::registry;

LONG RegOpenKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD /*ulOptions*/, REGSAM samDesired,
                   PHKEY phkResult) {
    return guarded([&]() -> LONG {
        if (phkResult == nullptr)
            return ERROR_INVALID_PARAMETER;
        *phkResult = nullptr;
        const std::optional<QStringList> names = splitKeyPath(fromWideString(lpSubKey));
        if (!names)
            return ERROR_INVALID_PARAMETER;
        return readKey(
            hKey, 0, [&](const KeyHandle& base, const RegistryKey& key, QStringList& path) -> LONG {
                if (walk(&key, *names, path) == nullptr)
                    return ERROR_FILE_NOT_FOUND;
                *phkResult = registry().handles.add(
                    {base.hive, path, samDesired, base.alwaysExists && names->isEmpty(), false});
                return ERROR_SUCCESS;
            });
    });
}

LONG RegCreateKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD /*Reserved*/, LPWSTR /*lpClass*/,
                     DWORD dwOptions, REGSAM samDesired, void* /*lpSecurityAttributes*/,
                     PHKEY phkResult, DWORD* lpdwDisposition) {
    return guarded([&]() -> LONG {
        if (phkResult == nullptr || lpSubKey == nullptr)
            return ERROR_INVALID_PARAMETER;
        *phkResult = nullptr;
        // Volatile keys and links are not kept; refusing them is more honest than ignoring.
        if (dwOptions != REG_OPTION_NON_VOLATILE)
            return ERROR_INVALID_PARAMETER;
        const std::optional<QStringList> names = splitKeyPath(fromWideString(lpSubKey));
        if (!names || !std::all_of(names->begin(), names->end(),
                                   [](const QString& name) { return isValidNewKeyName(name); }))
            return ERROR_INVALID_PARAMETER;
        return useHandle(hKey, 0, [&](RegistryState& state, const KeyHandle& base) -> LONG {
            if (base.path.size() + names->size() > kMaxKeyDepth)
                return ERROR_INVALID_PARAMETER;
            DWORD disposition = REG_OPENED_EXISTING_KEY;
            QStringList path;
            const KeyHandle target = forChange(state, base);
            const LONG status =
                state.hive(base.hive).modify([&](RegistryKey& root, bool& changed) -> LONG {
                    RegistryKey* key = nullptr;
                    if (const LONG found = findKeyToChange(root, target, true, changed, key, path))
                        return found;
                    for (const QString& name : *names) {
                        RegistryKey* subkey = key->findSubkey(name);
                        if (subkey == nullptr) {
                            if (!allowed(base, KEY_CREATE_SUB_KEY))
                                return ERROR_ACCESS_DENIED;
                            subkey = &key->addSubkey(name);
                            changed = true;
                            disposition = REG_CREATED_NEW_KEY;
                        }
                        path.append(subkey->name());
                        key = subkey;
                    }
                    return ERROR_SUCCESS;
                });
            if (status != ERROR_SUCCESS)
                return status;
            *phkResult = state.handles.add(
                {base.hive, path, samDesired, base.alwaysExists && names->isEmpty(), false});
            if (lpdwDisposition != nullptr)
                *lpdwDisposition = disposition;
            return ERROR_SUCCESS;
        });
    });
}

LONG RegQueryValueExW(HKEY hKey, LPCWSTR lpValueName, DWORD* lpReserved, DWORD* lpType,
                      BYTE* lpData, DWORD* lpcbData) {
    return guarded([&]() -> LONG {
        if (lpReserved != nullptr || (lpData != nullptr && lpcbData == nullptr))
            return ERROR_INVALID_PARAMETER;
        return readKey(hKey, KEY_QUERY_VALUE,
                       [&](const KeyHandle&, const RegistryKey& key, QStringList&) -> LONG {
                           const RegistryValue* value = key.findValue(fromWideString(lpValueName));
                           if (value == nullptr)
                               return ERROR_FILE_NOT_FOUND;
                           const DWORD size = DWORD(value->data.size());
                           if (lpType != nullptr)
                               *lpType = value->type;
                           if (lpData != nullptr && *lpcbData < size) {
                               *lpcbData = size;
                               return ERROR_MORE_DATA;
                           }
                           if (lpData != nullptr && size > 0)
                               std::memcpy(lpData, value->data.constData(), size);
                           if (lpcbData != nullptr)
                               *lpcbData = size;
                           return ERROR_SUCCESS;
                       });
    });
}

LONG RegSetValueExW(HKEY hKey, LPCWSTR lpValueName, DWORD /*Reserved*/, DWORD dwType,
                    const BYTE* lpData, DWORD cbData) {
    return guarded([&]() -> LONG {
        if (lpData == nullptr && cbData != 0)
            return ERROR_INVALID_PARAMETER;
        const QString name = fromWideString(lpValueName);
        const QByteArray data(reinterpret_cast<const char*>(lpData), qsizetype(cbData));
        return changeValues(hKey, true,
                            [&](const KeyHandle& base, RegistryKey& key, bool& changed) -> LONG {
                                // The hive roots hold only keys; a hive file has no place for
                                // values there.
                                if (base.path.isEmpty())
                                    return ERROR_ACCESS_DENIED;
                                if (key.setValue(name, dwType, data))
                                    changed = true;
                                return ERROR_SUCCESS;
                            });
    });
}

LONG RegEnumKeyExW(HKEY hKey, DWORD dwIndex, LPWSTR lpName, DWORD* lpcchName, DWORD* lpReserved,
                   LPWSTR lpClass, DWORD* lpcchClass, FILETIME* lpftLastWriteTime) {
    return guarded([&]() -> LONG {
        if (lpName == nullptr || lpcchName == nullptr || lpReserved != nullptr ||
            (lpClass != nullptr && lpcchClass == nullptr))
            return ERROR_INVALID_PARAMETER;
        return readKey(hKey, KEY_ENUMERATE_SUB_KEYS,
                       [&](const KeyHandle&, const RegistryKey& key, QStringList&) -> LONG {
                           return enumerateKey(key, dwIndex, lpName, lpcchName, lpClass, lpcchClass,
                                               lpftLastWriteTime);
                       });
    });
}

LONG RegDeleteKeyW(HKEY hKey, LPCWSTR lpSubKey) {
    return guarded([&]() -> LONG {
        if (lpSubKey == nullptr)
            return ERROR_INVALID_PARAMETER;
        const std::optional<QStringList> names = splitKeyPath(fromWideString(lpSubKey));
        if (!names)
            return ERROR_INVALID_PARAMETER;
        return useHandle(hKey, 0, [&](RegistryState& state, const KeyHandle& base) -> LONG {
            // An empty name deletes the handle's own key, but never a predefined one.
            if (names->isEmpty() && base.alwaysExists)
                return ERROR_ACCESS_DENIED;
            QStringList deletedPath;
            const LONG status = state.hive(base.hive).modify([&](RegistryKey& root,
                                                                 bool& changed) -> LONG {
                RegistryKey* parent = nullptr;
                RegistryKey* target = nullptr;
                QStringList path;
                if (const LONG found = findKeyToDelete(root, base, *names, parent, target, path))
                    return found;
                if (target->subkeyCount() > 0)
                    return ERROR_ACCESS_DENIED;
                parent->removeSubkey(*target);
                changed = true;
                deletedPath = path;
                return ERROR_SUCCESS;
            });
            if (status == ERROR_SUCCESS)
                state.handles.markDeleted(base.hive, deletedPath);
            // What the package registered machine-wide is not the user's to delete.
            KeyHandle named = base;
            named.path += *names;
            if ((status == ERROR_FILE_NOT_FOUND || status == ERROR_KEY_DELETED) &&
                visible(state, named))
                return ERROR_ACCESS_DENIED;
            return status;
        });
    });
}

LONG RegDeleteValueW(HKEY hKey, LPCWSTR lpValueName) {
    return guarded([&]() -> LONG {
        const QString name = fromWideString(lpValueName);
        return changeValues(hKey, false,
                            [&](const KeyHandle&, RegistryKey& key, bool& changed) -> LONG {
                                if (!key.removeValue(name))
                                    return ERROR_FILE_NOT_FOUND;
                                changed = true;
                                return ERROR_SUCCESS;
                            });
    });
}

LONG RegCloseKey(HKEY hKey) {
    return guarded([&]() -> LONG {
        RegistryState& state = registry();
        const std::lock_guard lock(state.mutex);
        return state.handles.close(hKey) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
    });
}

LONG DorvoRegUseMachineWideRegistry(void) {
    return guarded([&]() -> LONG {
        if (systemRegistryFolder().empty())
            return ERROR_FILE_NOT_FOUND;
        setWritesSystemRegistry(true);
        return ERROR_SUCCESS;
    });
}
