#include "RegistryFolder.h"

#include <atomic>
#include <cstdlib>
#include <dlfcn.h>
#include <filesystem>
#include <pwd.h>
#include <unistd.h>
#include <vector>

namespace dorvo::registry {
namespace {

std::atomic<bool> systemWrites{false};

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

// The folder of the binary that holds this code (the platform library, once installed).
std::filesystem::path ownFolder() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&homeFolder), &info) == 0 || info.dli_fname == nullptr)
        return {};
    std::error_code error;
    const std::filesystem::path file = std::filesystem::canonical(info.dli_fname, error);
    return error ? std::filesystem::path() : file.parent_path();
}

// The installation prefix of a library installed in PREFIX/<libdir>; empty when the folder is
// not such a library folder.
std::filesystem::path installPrefix(const std::filesystem::path& libraryFolder) {
    std::filesystem::path prefix = libraryFolder;
    const std::filesystem::path libdir = DORVO2_INSTALL_LIBDIR;
    std::vector<std::filesystem::path> parts(libdir.begin(), libdir.end());
    for (auto part = parts.rbegin(); part != parts.rend(); ++part) {
        if (prefix.filename() != *part)
            return {};
        prefix = prefix.parent_path();
    }
    return prefix;
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

std::string systemRegistryFolder() {
    const std::string configured = environment("DORVO2_SYSTEM_REGISTRY_DIR");
    if (!configured.empty())
        return configured;
    const std::filesystem::path prefix = installPrefix(ownFolder());
    if (prefix.empty())
        return {};
    // As the file system hierarchy has it: /usr keeps its variable data in /var.
    const std::filesystem::path variable = prefix == "/usr" ? "/var" : prefix / "var";
    return (variable / "lib/dorvo2/registry").string();
}

bool writesSystemRegistry() {
    return systemWrites.load();
}

void setWritesSystemRegistry(bool enabled) {
    systemWrites.store(enabled);
}

} // namespace dorvo::registry
