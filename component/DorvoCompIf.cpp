// The library's entry and its four exports: the outer application's way in.
#include "CompClassFactory.h"
#include "TComponentServer.h"
#include "TServerRegistration.h"

namespace {

// Runs when the library is loaded: the module is named by an address inside it.
__attribute__((constructor)) void attachLibrary() {
    TComponentServer::setModule(reinterpret_cast<HINSTANCE>(&attachLibrary));
}

} // namespace

extern "C" {

STDAPI DllGetClassObject(REFCLSID classId, REFIID iid, LPVOID* out) {
    return CompClassFactory::getClassObject(classId, iid, out);
}

STDAPI DllCanUnloadNow(void) {
    return TComponentServer::canUnloadNow();
}

STDAPI DllRegisterServer(void) {
    return TServerRegistration::registerServer(CLSID_Dorvo2Comp, CLSID_Dorvo2CompPropertyPage,
                                               reinterpret_cast<const void*>(&attachLibrary));
}

STDAPI DllUnregisterServer(void) {
    return TServerRegistration::unregisterServer(CLSID_Dorvo2Comp, CLSID_Dorvo2CompPropertyPage);
}

} // extern "C"
