// dorvo2-regsvr [-u] [--machine] LIBRARY...: registers in-process server libraries by calling
// their own DllRegisterServer (or, with -u, DllUnregisterServer). A library writes its entries
// through the platform library, into the registry folder that DORVO2_REGISTRY_DIR names (by
// default ${XDG_DATA_HOME:-$HOME/.local/share}/dorvo2/registry), or with --machine into the
// installation's machine-wide registry, which every user's registry reads beneath their own.
#include <dorvo/objbase.h>
#include <dorvo/version.h>
#include <dorvo/winreg.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

struct Options {
    bool unregister = false;
    bool machineWide = false;
    bool help = false;
    bool version = false;
    std::vector<const char*> libraries;
};

void printUsage(FILE* out) {
    std::fprintf(out,
                 "Usage: dorvo2-regsvr [-u] [--machine] LIBRARY...\n"
                 "Registers in-process server libraries (Dorvo components) by calling their\n"
                 "DllRegisterServer.\n"
                 "\n"
                 "  -u           unregister: call DllUnregisterServer instead\n"
                 "  --machine    register for every user of this installation (needs write\n"
                 "               access to its machine-wide registry; for packages)\n"
                 "  -h, --help   show this text\n"
                 "  --version    show the version\n"
                 "\n"
                 "Entries are written to the registry folder $DORVO2_REGISTRY_DIR, by default\n"
                 "${XDG_DATA_HOME:-$HOME/.local/share}/dorvo2/registry.\n");
}

// False when the command line cannot be understood; the reason has been printed.
bool parseOptions(int argc, char** argv, Options* options) {
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (!optionsEnded && std::strcmp(arg, "--") == 0) {
            optionsEnded = true;
        } else if (!optionsEnded && std::strcmp(arg, "-u") == 0) {
            options->unregister = true;
        } else if (!optionsEnded && std::strcmp(arg, "--machine") == 0) {
            options->machineWide = true;
        } else if (!optionsEnded && std::strcmp(arg, "--version") == 0) {
            options->version = true;
        } else if (!optionsEnded &&
                   (std::strcmp(arg, "-h") == 0 || std::strcmp(arg, "--help") == 0)) {
            options->help = true;
        } else if (!optionsEnded && arg[0] == '-' && arg[1] != '\0') {
            std::fprintf(stderr, "dorvo2-regsvr: unknown option %s\n", arg);
            return false;
        } else {
            options->libraries.push_back(arg);
        }
    }
    if (!options->help && !options->version && options->libraries.empty()) {
        std::fprintf(stderr, "dorvo2-regsvr: no LIBRARY given\n");
        return false;
    }
    return true;
}

// The library is loaded by its absolute path: a bare name would send the loader searching the
// library path instead of the current folder, and the path the library learns of itself is the
// one it registers.
bool absolutePath(const char* library, std::string* path) {
    std::error_code error;
    const auto resolved = std::filesystem::canonical(library, error);
    if (error) {
        std::fprintf(stderr, "dorvo2-regsvr: cannot load %s: %s\n", library,
                     error.message().c_str());
        return false;
    }
    *path = resolved.string();
    return true;
}

int callServerFunction(const std::string& path, bool unregister) {
    const char* name = unregister ? "DllUnregisterServer" : "DllRegisterServer";
    HRESULT hr = E_UNEXPECTED;
    char* reason = nullptr;
    if (FAILED(DorvoCallRegistrationFunction(path.c_str(), unregister, &hr, &reason))) {
        std::fprintf(stderr, "dorvo2-regsvr: %s\n", reason ? reason : "the call failed");
        CoTaskMemFree(reason);
        return kExitFailure;
    }
    if (FAILED(hr)) {
        std::fprintf(stderr, "dorvo2-regsvr: %s in %s failed: 0x%08X\n", name, path.c_str(),
                     unsigned(hr));
        return kExitFailure;
    }
    std::printf("%s in %s succeeded.\n", name, path.c_str());
    return EXIT_SUCCESS;
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    if (!parseOptions(argc, argv, &options)) {
        printUsage(stderr);
        return kExitUsage;
    }
    if (options.help) {
        printUsage(stdout);
        return EXIT_SUCCESS;
    }
    if (options.version) {
        std::printf("dorvo2-regsvr %s\n", DORVO2_VERSION_STRING);
        return EXIT_SUCCESS;
    }
    if (options.machineWide && DorvoRegUseMachineWideRegistry() != ERROR_SUCCESS) {
        std::fprintf(stderr, "dorvo2-regsvr: this installation has no machine-wide registry "
                             "(the platform library is not an installed one)\n");
        return kExitFailure;
    }
    // Every library is tried; the exit status tells whether one failed.
    int status = EXIT_SUCCESS;
    for (const char* library : options.libraries) {
        std::string path;
        if (!absolutePath(library, &path) ||
            callServerFunction(path, options.unregister) != EXIT_SUCCESS)
            status = kExitFailure;
    }
    return status;
}
