// What an example library writes into the registry when it is installed (DllRegisterServer) and
// removes when it is uninstalled (DllUnregisterServer): one class key per class with the
// library's own path, and the host's catalogue key of its editor component.
#pragma once

#include <dorvo/objbase.h>

#include <QString>

#include <vector>

namespace examples {

// HKEY_CLASSES_ROOT\CLSID\{clsid}: the description as default value; InprocServer32 with the
// library's path and ThreadingModel "Apartment".
struct ServerClass {
    const CLSID* clsid;
    QString description;
};

// HKEY_LOCAL_MACHINE\Software\Quenor\Dorvo2\Plugins\{clsid}.
struct CatalogueEntry {
    const CLSID* clsid;
    DWORD kind;           // "DORVO2_KEY_TYPE"
    QString pluginName;   // "DORVO2_KEY_PLUGIN_NAME"
    QString iconFileName; // beside the library; its file URL is "DORVO2_KEY_ICON_URL"
};

struct ServerDescription {
    const void* addressInLibrary; // any function or object of the library
    std::vector<ServerClass> classes;
    CatalogueEntry catalogue;
};

// Installer's thread. S_OK, or SELFREG_E_CLASS when a key or value could not be written (what
// was written stays).
HRESULT registerServer(const ServerDescription& server);
// Installer's thread. Removes every key of the library, also when some are missing already;
// SELFREG_E_CLASS when any was missing or could not be removed.
HRESULT unregisterServer(const ServerDescription& server);

// The folder of the library that contains the address; empty when unknown.
QString libraryDirectory(const void* addressInLibrary);
// The file URL of a file beside that library.
QString fileUrlBesideLibrary(const void* addressInLibrary, const QString& fileName);

} // namespace examples
