// dorvo2-regsvr [-u] LIBRARY: registers an in-process server library by calling its own
// DllRegisterServer (or, with -u, DllUnregisterServer). The library writes its entries through
// the platform library, into the registry folder that DORVO2_REGISTRY_DIR names (by default
// ${XDG_DATA_HOME:-$HOME/.local/share}/dorvo2/registry).
#include <dorvo/objbase.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

struct Options {
    bool unregister = false;
    bool help = false;
    const char* library = nullptr;
};

void printUsage(FILE* out) {
    std::fprintf(out,
                 "Usage: dorvo2-regsvr [-u] LIBRARY\n"
                 "Registers an in-process server library by calling its DllRegisterServer.\n"
                 "\n"
                 "  -u          unregister: call DllUnregisterServer instead\n"
                 "  -h, --help  show this text\n"
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
        } else if (!optionsEnded &&
                   (std::strcmp(arg, "-h") == 0 || std::strcmp(arg, "--help") == 0)) {
            options->help = true;
        } else if (!optionsEnded && arg[0] == '-' && arg[1] != '\0') {
            std::fprintf(stderr, "dorvo2-regsvr: unknown option %s\n", arg);
            return false;
        } else if (options->library) {
            std::fprintf(stderr, "dorvo2-regsvr: only one LIBRARY can be given\n");
            return false;
        } else {
            options->library = arg;
        }
    }
    if (!options->help && !options->library) {
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
    std::string path;
    if (!absolutePath(options.library, &path))
        return kExitFailure;
    return callServerFunction(path, options.unregister);
}
