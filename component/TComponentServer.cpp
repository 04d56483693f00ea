#include "TComponentServer.h"

#include <CAppServer.h>

#include <QThread>

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace {

HINSTANCE moduleHandle = nullptr;
std::atomic<long> objects{0};
std::atomic<long> locks{0};
std::once_flag serverFetched;
void* guiThread = nullptr;
std::mutex traceLock;

} // namespace

namespace TComponentServer {

void setModule(HINSTANCE module) {
    moduleHandle = module;
}

HINSTANCE module() {
    return moduleHandle;
}

void objectCreated() {
    ++objects;
}

void objectDestroyed() {
    --objects;
}

long objectCount() {
    return objects.load();
}

void lock(bool raise) {
    if (raise)
        ++locks;
    else
        --locks;
}

long lockCount() {
    return locks.load();
}

HRESULT canUnloadNow() {
    if (objects.load() != 0 || locks.load() != 0)
        return S_FALSE;
    trace("Unloading Component DLL\n");
    return S_OK;
}

void attachApplicationServer() {
    std::call_once(serverFetched, [] { guiThread = CAppServer::Instance().guiThread(); });
}

bool mainThreadRunning() {
    return guiThread && QThread::currentThread() == guiThread;
}

void trace(const char* format, ...) {
    const char* target = std::getenv("DORVO2_TRACE");
    if (!target || !*target)
        return;
    char line[1024];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(line, sizeof line, format, arguments);
    va_end(arguments);
    // One message per line, whether or not it ends with its own newline.
    const std::size_t length = std::strlen(line);
    const char* end = length && line[length - 1] == '\n' ? "" : "\n";
    std::lock_guard<std::mutex> lock(traceLock);
    if (std::strcmp(target, "1") == 0) {
        std::fprintf(stderr, "%s%s", line, end);
        return;
    }
    if (FILE* file = std::fopen(target, "a")) {
        std::fprintf(file, "%s%s", line, end);
        std::fclose(file);
    }
}

} // namespace TComponentServer
