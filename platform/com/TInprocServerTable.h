// The process-wide table of loaded in-process server libraries: each path is opened once and
// stays open until CoFreeUnusedLibraries finds that the library agrees to be unloaded.
#pragma once

#include <dorvo/objbase.h>

#include <QString>

#include <chrono>
#include <map>
#include <mutex>
#include <optional>
#include <string>

class TInprocServerTable {
    struct LoadedServer {
        void* handle = nullptr;
        LPFNGETCLASSOBJECT getClassObject = nullptr;
        LPFNCANUNLOADNOW canUnloadNow = nullptr; // absent: the library is never unloaded
        int callsInFlight = 0;                   // a library in use is never unloaded
        // Since when the library has answered S_OK to every DllCanUnloadNow; empty while it
        // last refused.
        std::optional<std::chrono::steady_clock::time_point> idleSince;
    };

public:
    // Keeps one library loaded while the caller works with its class objects: the table does
    // not unload a library while a Use of it exists.
    class Use {
    public:
        Use(Use&& other) noexcept;
        Use(const Use&) = delete;
        Use& operator=(const Use&) = delete;
        Use& operator=(Use&&) = delete;
        ~Use();

        // S_OK, or why the library could not be used (a warning has been given).
        HRESULT result() const { return m_result; }
        LPFNGETCLASSOBJECT getClassObject() const;

    private:
        friend class TInprocServerTable;
        Use(TInprocServerTable* table, LoadedServer* server, HRESULT result);

        TInprocServerTable* m_table;
        LoadedServer* m_server;
        HRESULT m_result;
    };

    static TInprocServerTable& instance();

    // Loads the library at path unless it is loaded already. Failures: CO_E_DLLNOTFOUND when
    // it cannot be loaded, CO_E_ERRORINDLL when it lacks DllGetClassObject.
    Use use(const QString& path);

    // Asks each loaded library that is not in use whether it may be unloaded, and closes those
    // that have answered S_OK at every call for at least `delay`. The delay guards against a
    // thread that released the library's last object and is still running the end of that
    // Release inside the library's code.
    void freeUnused(std::chrono::milliseconds delay);

private:
    TInprocServerTable() = default;
    HRESULT load(const QString& path, LoadedServer* server);
    void release(LoadedServer* server);
    static bool agreesToUnload(const LoadedServer& server);
    static bool idleLongEnough(LoadedServer& server, std::chrono::milliseconds delay);

    // Recursive: a library's constructors, destructors or DllCanUnloadNow may create objects.
    std::recursive_mutex m_mutex;
    std::map<std::string, LoadedServer> m_servers;
    bool m_freeing = false;
};
