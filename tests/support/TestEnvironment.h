// Every test process runs in a temporary home of its own: HOME, XDG_CONFIG_HOME, XDG_DATA_HOME
// and DORVO2_REGISTRY_DIR point into it, never at the user's files.
#pragma once

#include <string>

namespace dorvo2test {

// The temporary folder that this test process owns; removed when the process ends.
const std::string& tempRoot();

// A new empty folder below tempRoot(), for a test that wants a place of its own.
std::string makeTempDir(const std::string& prefix);

} // namespace dorvo2test
