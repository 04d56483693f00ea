// The machine hive as a user's process sees it: the user's own machine hive over the
// machine-wide registry of the installation. Reads see both, the user's own keys and values
// winning; changes go to the user's own file only, so a package's keys are never copied into a
// user's file and go away with the package.
//
// A machine-wide registry that cannot be read is reported (by its HiveFile) and read as empty:
// a broken package must not take away the user's own components.
//
// Not thread-safe: the registry functions call it under their own mutex.
#pragma once

#include "HiveFile.h"

namespace dorvo::registry {

class LayeredHive {
public:
    LayeredHive();

    // Brings both files up to date; the status is the user's file's.
    LONG refresh();
    // The merged tree; valid after refresh() succeeded.
    const RegistryKey& view() const { return m_merged ? *m_merged : m_own.root(); }
    // The file that changes go to.
    HiveFile& own() { return m_own; }

private:
    HiveFile m_own;
    HiveFile m_system;
    std::unique_ptr<RegistryKey> m_merged; // none while the machine-wide registry is empty
    quint64 m_ownGeneration = 0;
    quint64 m_systemGeneration = 0;
};

} // namespace dorvo::registry
