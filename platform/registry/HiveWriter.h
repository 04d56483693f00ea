// Writes the text of a hive file; parseHive reads the same tree back from it.
#pragma once

#include "RegistryKey.h"

namespace dorvo::registry {

// hiveName ("machine", "user") goes into the header comment.
QByteArray formatHive(const RegistryKey& root, QStringView hiveName);

} // namespace dorvo::registry
