// Where the hive files live. Read from the environment at every use, so that a test (or a
// program that changes its environment) gets the folder it asked for.
#pragma once

#include <string>

namespace dorvo::registry {

// $DORVO2_REGISTRY_DIR, else ${XDG_DATA_HOME:-$HOME/.local/share}/dorvo2/registry.
std::string registryFolder();

} // namespace dorvo::registry
