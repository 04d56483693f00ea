// Calling an in-process server library's own registration function, for dorvo2-regsvr.
#include <dorvo/objbase.h>

#include <cstring>
#include <dlfcn.h>
#include <exception>
#include <string>

namespace {

HRESULT fail(const std::string& text, char** reason) {
    if (reason) {
        *reason = static_cast<char*>(CoTaskMemAlloc(text.size() + 1));
        if (*reason)
            std::memcpy(*reason, text.c_str(), text.size() + 1);
    }
    return E_FAIL;
}

} // namespace

STDAPI DorvoCallRegistrationFunction(const char* path, BOOL unregister, HRESULT* serverResult,
                                     char** reason) {
    if (reason)
        *reason = nullptr;
    if (!path || !*path || !serverResult)
        return E_INVALIDARG;
    const char* name = unregister ? "DllUnregisterServer" : "DllRegisterServer";
    // Kept loaded until the process ends: what the function registered may point into it.
    void* handle = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (!handle)
        return fail(std::string("cannot load ") + path + ": " + dlerror(), reason);
    auto function = reinterpret_cast<LPFNREGISTERSERVER>(dlsym(handle, name));
    if (!function) {
        dlclose(handle);
        return fail(std::string(path) + " does not export " + name, reason);
    }
    try {
        *serverResult = function();
    } catch (const std::exception& e) {
        return fail(std::string(name) + " in " + path + " threw an exception: " + e.what(), reason);
    } catch (...) {
        return fail(std::string(name) + " in " + path + " threw an exception", reason);
    }
    return S_OK;
}
