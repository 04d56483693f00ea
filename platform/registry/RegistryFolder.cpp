#include "RegistryFolder.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>
#include <vector>

namespace dorvo::registry {
namespace {

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

std::string homeFolder() {
    std::string home = environment("HOME");
    if (!home.empty())
        return home;
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
        found->pw_dir)
        return found->pw_dir;
    return "/";
}

} // namespace

std::string registryFolder() {
    const std::string configured = environment("DORVO2_REGISTRY_DIR");
    if (!configured.empty())
        return configured;
    // XDG base directory rules ignore relative paths in XDG_DATA_HOME.
    std::string data = environment("XDG_DATA_HOME");
    if (data.empty() || data.front() != '/')
        data = homeFolder() + "/.local/share";
    return data + "/dorvo2/registry";
}

} // namespace dorvo::registry
