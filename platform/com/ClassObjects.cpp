// Creating objects of registered classes: the class's library is found in the registry, loaded
// once per path, and asked for its class object.
#include "ForeignCall.h"
#include "InprocServerRegistration.h"
#include "TInprocServerTable.h"

#include <QtGlobal>

namespace {

// A library whose DllGetClassObject reports success without an object would have the caller
// dereference null; a failure that leaves a pointer behind would have it use garbage.
HRESULT checkedResult(const char* call, REFCLSID clsid, HRESULT hr, LPVOID* ppv) {
    if (FAILED(hr)) {
        *ppv = nullptr;
        return hr;
    }
    if (*ppv == nullptr) {
        qWarning("%s for class %s reported success without an object", call,
                 qUtf8Printable(guidText(clsid)));
        return E_UNEXPECTED;
    }
    return hr;
}

HRESULT getClassObject(const TInprocServerTable::Use& server, REFCLSID clsid, REFIID riid,
                       LPVOID* ppv) {
    const HRESULT hr =
        callForeign("DllGetClassObject", [&] { return server.getClassObject()(clsid, riid, ppv); });
    return checkedResult("DllGetClassObject", clsid, hr, ppv);
}

// Checks the arguments shared by both creation functions and finds the class's library.
HRESULT findServer(REFCLSID clsid, DWORD context, REFIID riid, LPVOID* ppv, QString* path) {
    if (ppv == nullptr)
        return E_POINTER;
    *ppv = nullptr;
    if (isNullReference(&clsid) || isNullReference(&riid))
        return E_INVALIDARG;
    if ((context & CLSCTX_INPROC_SERVER) == 0) {
        qWarning("Class %s: only in-process servers exist here (context 0x%x)",
                 qUtf8Printable(guidText(clsid)), unsigned(context));
        return REGDB_E_CLASSNOTREG;
    }
    return lookUpInprocServer(clsid, path);
}

} // namespace

// The reserved server-information argument names a remote machine, which in-process servers
// never need; it is ignored.
STDAPI CoGetClassObject(REFCLSID rclsid, DWORD dwClsContext, LPVOID, REFIID riid, LPVOID* ppv) {
    QString path;
    const HRESULT hr = findServer(rclsid, dwClsContext, riid, ppv, &path);
    if (FAILED(hr))
        return hr;
    const TInprocServerTable::Use server = TInprocServerTable::instance().use(path);
    if (FAILED(server.result()))
        return server.result();
    return getClassObject(server, rclsid, riid, ppv);
}

STDAPI CoCreateInstance(REFCLSID rclsid, IUnknown* pUnkOuter, DWORD dwClsContext, REFIID riid,
                        LPVOID* ppv) {
    QString path;
    HRESULT hr = findServer(rclsid, dwClsContext, riid, ppv, &path);
    if (FAILED(hr))
        return hr;
    // Held until the factory is released, so that the library cannot be unloaded meanwhile.
    const TInprocServerTable::Use server = TInprocServerTable::instance().use(path);
    if (FAILED(server.result()))
        return server.result();
    IClassFactory* factory = nullptr;
    hr = getClassObject(server, rclsid, IID_IClassFactory, reinterpret_cast<LPVOID*>(&factory));
    if (FAILED(hr))
        return hr;
    // The outer object is passed on as it is: whether a class can be aggregated is its own call.
    hr = callForeign("IClassFactory::CreateInstance",
                     [&] { return factory->CreateInstance(pUnkOuter, riid, ppv); });
    factory->Release();
    return checkedResult("IClassFactory::CreateInstance", rclsid, hr, ppv);
}

STDAPI_(void) CoFreeUnusedLibraries(void) {
    CoFreeUnusedLibrariesEx(INFINITE, 0);
}

STDAPI_(void) CoFreeUnusedLibrariesEx(DWORD dwUnloadDelay, DWORD /*dwReserved*/) {
    // Ten minutes by default, long enough that no thread can still be finishing a call into the
    // library when it goes.
    const std::chrono::milliseconds delay = dwUnloadDelay == INFINITE
                                                ? std::chrono::minutes(10)
                                                : std::chrono::milliseconds(dwUnloadDelay);
    TInprocServerTable::instance().freeUnused(delay);
}
