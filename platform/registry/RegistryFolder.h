// Where the hive files live. Read from the environment at every use, so that a test (or a
// program that changes its environment) gets the folder it asked for.
#pragma once

#include <string>

namespace dorvo::registry {

// $DORVO2_REGISTRY_DIR, else ${XDG_DATA_HOME:-$HOME/.local/share}/dorvo2/registry.
std::string registryFolder();

// The machine-wide registry of this installation, which every user's machine hive reads beneath
// their own: the packages' components are registered there. $DORVO2_SYSTEM_REGISTRY_DIR, else
// found from where the platform library is installed: /var/lib/dorvo2/registry for a library
// under /usr, PREFIX/var/lib/dorvo2/registry for one under another prefix. Empty for a library
// that is not installed (a build tree): it has no machine-wide registry.
std::string systemRegistryFolder();

// Whether this process writes the machine-wide registry instead of the user's (an installer's
// registration); then the machine hive is that registry alone.
bool writesSystemRegistry();
void setWritesSystemRegistry(bool enabled);

} // namespace dorvo::registry
