#include "LayeredHive.h"

#include "RegistryFolder.h"

namespace dorvo::registry {
namespace {

// A copy of a tree, spelling for spelling (a hand-edited hive may hold names that differ only in
// case, and the copy keeps them apart as the original does).
void copyTree(const RegistryKey& from, RegistryKey& to) {
    for (const RegistryValue& value : from.values())
        to.setExactValue(value.name, value.type, value.data);
    for (size_t i = 0; i < from.subkeyCount(); ++i)
        copyTree(from.subkeyAt(i), to.addSubkey(from.subkeyAt(i).name()));
}

// Adds what `lower` holds and `upper` lacks to `upper`, key by key and value by value, names
// compared as the registry compares them.
void mergeBeneath(const RegistryKey& lower, RegistryKey& upper) {
    for (const RegistryValue& value : lower.values())
        if (upper.findValue(value.name) == nullptr)
            upper.setExactValue(value.name, value.type, value.data);
    for (size_t i = 0; i < lower.subkeyCount(); ++i) {
        const RegistryKey& subkey = lower.subkeyAt(i);
        RegistryKey* existing = upper.findSubkey(subkey.name());
        mergeBeneath(subkey, existing ? *existing : upper.addSubkey(subkey.name()));
    }
}

bool isEmpty(const RegistryKey& key) {
    return key.subkeyCount() == 0 && key.values().empty();
}

} // namespace

LayeredHive::LayeredHive()
    : m_own(HiveFile::Hive::Machine,
            [] { return writesSystemRegistry() ? systemRegistryFolder() : registryFolder(); }),
      m_system(HiveFile::Hive::Machine,
               [] { return writesSystemRegistry() ? std::string() : systemRegistryFolder(); }) {}

LONG LayeredHive::refresh() {
    const LONG status = m_own.refresh();
    if (status != ERROR_SUCCESS)
        return status;
    // Without machine-wide keys the user's own tree is the view, and nothing is copied.
    const bool layered = m_system.refresh() == ERROR_SUCCESS && !isEmpty(m_system.root());
    if (!layered) {
        m_merged.reset();
        return ERROR_SUCCESS;
    }
    if (m_merged && m_own.generation() == m_ownGeneration &&
        m_system.generation() == m_systemGeneration)
        return ERROR_SUCCESS;
    auto merged = std::make_unique<RegistryKey>();
    copyTree(m_own.root(), *merged);
    mergeBeneath(m_system.root(), *merged);
    m_merged = std::move(merged);
    m_ownGeneration = m_own.generation();
    m_systemGeneration = m_system.generation();
    return ERROR_SUCCESS;
}

} // namespace dorvo::registry
