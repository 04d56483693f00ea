// What the component build's library writes into the registry when it is installed
// (DllRegisterServer) and removes when it is uninstalled (DllUnregisterServer): one class key per
// class, HKEY_CLASSES_ROOT\CLSID\{class}, with its description and an InprocServer32 key naming
// the library and its threading model.
#pragma once

#include <dorvo/objbase.h>
#include <dorvo/winreg.h>

class TServerRegistration {
public:
    // Installer's thread. S_OK, or E_FAIL when the class key or its server key could not be
    // written (what was written stays). The library is the one that holds addressInLibrary.
    static HRESULT registerClass(const CLSID& classId, LPCWSTR description, LPCWSTR threadingModel,
                                 const void* addressInLibrary);
    // The component class ("Dorvo", "Both"), then the property page class ("Property Page for
    // Dorvo2", "Apartment"), the second only when the first succeeded; SELFREG_E_CLASS on any
    // failure.
    static HRESULT registerServer(const CLSID& componentClass, const CLSID& pageClass,
                                  const void* addressInLibrary);
    // Both class keys with everything below them, the second only when the first went;
    // SELFREG_E_CLASS on any failure, also when a class was not registered.
    static HRESULT unregisterServer(const CLSID& componentClass, const CLSID& pageClass);
    // Deletes parent\subkey with every key below it, however deep; the registry's error code.
    static LONG deleteKeyTree(HKEY parent, LPCWSTR subkey);
};
