// Where a class's in-process server is registered:
// HKEY_CLASSES_ROOT\CLSID\{class}\InprocServer32, whose default value is the library's path.
#pragma once

#include <dorvo/objbase.h>

#include <QString>

// The braced text of an identifier, for messages and key names.
QString guidText(REFGUID guid);

// S_OK with the library path; REGDB_E_CLASSNOTREG when the class has no in-process server;
// REGDB_E_READREGDB when the entry exists but cannot be read as a path. Failures are warned.
HRESULT lookUpInprocServer(REFCLSID clsid, QString* path);
