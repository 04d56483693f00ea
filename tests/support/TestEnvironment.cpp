#include "TestEnvironment.h"

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <unistd.h>

namespace dorvo2test {
namespace {

std::string createRoot() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/dorvo2test-XXXXXX";
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("cannot create a temporary folder for the test");
    return pattern;
}

} // namespace

const std::string& tempRoot() {
    static const std::string root = createRoot();
    return root;
}

std::string makeTempDir(const std::string& prefix) {
    static std::atomic<int> counter{0};
    const std::string dir = tempRoot() + "/" + prefix + "-" + std::to_string(++counter);
    std::filesystem::create_directories(dir);
    return dir;
}

// Called by the test mains before anything else runs.
void installTestEnvironment() {
    const std::string& root = tempRoot();
    const std::string home = root + "/home";
    std::filesystem::create_directories(home);
    setenv("HOME", home.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home + "/.config").c_str(), 1);
    setenv("XDG_DATA_HOME", (home + "/.local/share").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", root.c_str(), 1);
    setenv("DORVO2_REGISTRY_DIR", (root + "/registry").c_str(), 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
}

void removeTestEnvironment() {
    std::error_code ignored;
    if (std::getenv("DORVO2_KEEP_TEST_FILES") == nullptr)
        std::filesystem::remove_all(tempRoot(), ignored);
}

} // namespace dorvo2test
