// The four exports of an in-process server, over the library's editorLibrary(). Compiled into
// each example library rather than taken from the common archive: nothing in the library calls
// them, so the linker would leave them out of the archive.
#include "ClassFactory.h"
#include "EditorLibrary.h"
#include "ModuleCounts.h"
#include "ServerRegistration.h"

#include <iterator>

extern "C" {

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* out) {
    const auto& classes = examples::editorLibrary().classes;
    return examples::getClassObject(classes, std::size(classes), clsid, iid, out);
}

STDAPI DllCanUnloadNow(void) {
    return examples::ModuleCounts::canUnloadNow();
}

STDAPI DllRegisterServer(void) {
    return examples::registerServer(examples::editorLibrary().description);
}

STDAPI DllUnregisterServer(void) {
    return examples::unregisterServer(examples::editorLibrary().description);
}

} // extern "C"
