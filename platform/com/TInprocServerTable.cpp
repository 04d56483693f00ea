#include "TInprocServerTable.h"

#include "ForeignCall.h"

#include <QFile>
#include <QtGlobal>

#include <dlfcn.h>

namespace {

QString loaderError() {
    const char* text = dlerror();
    return text ? QString::fromLocal8Bit(text) : QStringLiteral("unknown loader error");
}

} // namespace

TInprocServerTable::Use::Use(TInprocServerTable* table, LoadedServer* server, HRESULT result)
    : m_table(table), m_server(server), m_result(result) {}

TInprocServerTable::Use::Use(Use&& other) noexcept
    : m_table(other.m_table), m_server(other.m_server), m_result(other.m_result) {
    other.m_server = nullptr;
}

TInprocServerTable::Use::~Use() {
    if (m_server)
        m_table->release(m_server);
}

LPFNGETCLASSOBJECT TInprocServerTable::Use::getClassObject() const {
    return m_server ? m_server->getClassObject : nullptr;
}

TInprocServerTable& TInprocServerTable::instance() {
    // Never destroyed: libraries still loaded at exit stay loaded, as the loader expects.
    static TInprocServerTable* table = new TInprocServerTable;
    return *table;
}

TInprocServerTable::Use TInprocServerTable::use(const QString& path) {
    if (path.isEmpty()) {
        // dlopen would answer an empty name with the program itself.
        qWarning("Cannot load an in-process server: the registered library path is empty");
        return Use(this, nullptr, CO_E_DLLNOTFOUND);
    }
    const std::string key = QFile::encodeName(path).toStdString();
    std::lock_guard lock(m_mutex);
    auto found = m_servers.find(key);
    if (found == m_servers.end()) {
        LoadedServer server;
        const HRESULT hr = load(path, &server);
        if (FAILED(hr))
            return Use(this, nullptr, hr);
        found = m_servers.emplace(key, server).first;
    }
    ++found->second.callsInFlight;
    return Use(this, &found->second, S_OK);
}

HRESULT TInprocServerTable::load(const QString& path, LoadedServer* server) {
    void* handle = dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        qWarning("Cannot load the in-process server \"%s\": %s", qUtf8Printable(path),
                 qUtf8Printable(loaderError()));
        return CO_E_DLLNOTFOUND;
    }
    dlerror();
    auto getClassObject = reinterpret_cast<LPFNGETCLASSOBJECT>(dlsym(handle, "DllGetClassObject"));
    if (!getClassObject) {
        qWarning("The in-process server \"%s\" does not export DllGetClassObject: %s",
                 qUtf8Printable(path), qUtf8Printable(loaderError()));
        dlclose(handle);
        return CO_E_ERRORINDLL;
    }
    server->handle = handle;
    server->getClassObject = getClassObject;
    server->canUnloadNow = reinterpret_cast<LPFNCANUNLOADNOW>(dlsym(handle, "DllCanUnloadNow"));
    return S_OK;
}

void TInprocServerTable::release(LoadedServer* server) {
    std::lock_guard lock(m_mutex);
    --server->callsInFlight;
}

void TInprocServerTable::freeUnused(std::chrono::milliseconds delay) {
    std::lock_guard lock(m_mutex);
    // A library's destructor that frees libraries itself would pull entries from under this loop.
    if (m_freeing)
        return;
    m_freeing = true;
    for (auto it = m_servers.begin(); it != m_servers.end();) {
        if (idleLongEnough(it->second, delay)) {
            void* handle = it->second.handle;
            it = m_servers.erase(it);
            dlclose(handle);
        } else {
            ++it;
        }
    }
    m_freeing = false;
}

bool TInprocServerTable::agreesToUnload(const LoadedServer& server) {
    if (server.callsInFlight != 0 || !server.canUnloadNow)
        return false;
    return callForeign("DllCanUnloadNow", [&] { return server.canUnloadNow(); }) == S_OK;
}

bool TInprocServerTable::idleLongEnough(LoadedServer& server, std::chrono::milliseconds delay) {
    const auto now = std::chrono::steady_clock::now();
    if (!agreesToUnload(server)) {
        server.idleSince.reset();
        return false;
    }
    if (!server.idleSince)
        server.idleSince = now;
    return now - *server.idleSince >= delay;
}
