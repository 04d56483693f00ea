#include "KeyHandleTable.h"

namespace dorvo::registry {
namespace {

std::optional<KeyHandle> predefinedKey(HKEY key) {
    if (key == HKEY_LOCAL_MACHINE)
        return KeyHandle{HiveFile::Hive::Machine, {}, KEY_ALL_ACCESS, true, false};
    if (key == HKEY_CURRENT_USER)
        return KeyHandle{HiveFile::Hive::User, {}, KEY_ALL_ACCESS, true, false};
    if (key == HKEY_CLASSES_ROOT)
        return KeyHandle{HiveFile::Hive::Machine,
                         {QStringLiteral("Software"), QStringLiteral("Classes")},
                         KEY_ALL_ACCESS,
                         true,
                         false};
    return std::nullopt;
}

} // namespace

std::optional<KeyHandle> KeyHandleTable::find(HKEY key) const {
    if (std::optional<KeyHandle> predefined = predefinedKey(key))
        return predefined;
    const auto it = m_handles.find(reinterpret_cast<uintptr_t>(key));
    if (it == m_handles.end())
        return std::nullopt;
    return it->second;
}

HKEY KeyHandleTable::add(const KeyHandle& handle) {
    const uintptr_t number = m_nextNumber;
    m_nextNumber += 4;
    m_handles.emplace(number, handle);
    return reinterpret_cast<HKEY>(number);
}

bool KeyHandleTable::close(HKEY key) {
    return predefinedKey(key) || m_handles.erase(reinterpret_cast<uintptr_t>(key)) == 1;
}

void KeyHandleTable::markDeleted(HiveFile::Hive hive, const QStringList& path) {
    for (auto& [number, handle] : m_handles) {
        if (handle.hive == hive && handle.path == path)
            handle.deleted = true;
    }
}

} // namespace dorvo::registry
