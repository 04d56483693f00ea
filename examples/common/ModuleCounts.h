// What one example library counts to answer DllCanUnloadNow. Each library links its own copy
// of this code, so the counts are the library's own.
#pragma once

#include <dorvo/objbase.h>

namespace examples {

class ModuleCounts {
public:
    // Any thread: objects that the library's factories made (components and pages).
    static void objectMade();
    static void objectGone();
    // Any thread: IClassFactory::LockServer.
    static void lockServer(bool lock);
    // GUI thread: the library made widgets. Qt then holds data of the library (meta-objects
    // of its classes, queued calls to its functions) beyond the life of the objects, so the
    // library stays loaded for the rest of the process.
    static void pinForQt();
    // Any thread: S_OK when nothing keeps the library loaded, else S_FALSE.
    static HRESULT canUnloadNow();
};

} // namespace examples
