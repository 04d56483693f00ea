/* Calls made as a C caller makes them: identifiers are passed by address, so null can reach
 * functions whose C++ declaration takes a reference. */
#include <dorvo/objbase.h>

HRESULT createWithNullClass(void** object) {
    return CoCreateInstance(NULL, NULL, CLSCTX_INPROC_SERVER, &IID_IUnknown, object);
}

HRESULT createWithNullInterface(REFCLSID clsid, void** object) {
    return CoCreateInstance(clsid, NULL, CLSCTX_INPROC_SERVER, NULL, object);
}

HRESULT classObjectWithNullClass(void** object) {
    return CoGetClassObject(NULL, CLSCTX_INPROC_SERVER, NULL, &IID_IClassFactory, object);
}
