// Process-wide state of the component build's library: its classes, its module handle, the
// object and lock counts that decide whether it may be unloaded, the GUI thread that the
// application server runs, and the one debug trace function.
#pragma once

#include <dorvo/dorvo2comp.h>
#include <dorvo/objbase.h>

namespace TComponentServer {

// Set once when the library is loaded: an address inside it, which also names it to the
// platform's module and window class calls.
void setModule(HINSTANCE module);
HINSTANCE module();

// Any thread; atomic.
void objectCreated();
void objectDestroyed();
long objectCount();
void lock(bool raise);
long lockCount();
// S_OK when neither count holds the library, else S_FALSE.
HRESULT canUnloadNow();

// Fetches the application server once (starting its GUI thread when the process has no
// toolkit application); every later call answers from what was fetched.
void attachApplicationServer();
// Any thread: whether this is the application server's GUI thread.
bool mainThreadRunning();

// printf-style; writes nothing unless DORVO2_TRACE is set: "1" writes to the standard error,
// any other value names a file the messages are appended to.
void trace(const char* format, ...) __attribute__((format(printf, 1, 2)));

} // namespace TComponentServer
