/* The registry: keys with named values, in one hive for the machine and one for the user.
 * HKEY_CLASSES_ROOT is the machine's "Software\Classes". Functions return Win32 error codes
 * (ERROR_SUCCESS, ERROR_FILE_NOT_FOUND, ERROR_MORE_DATA, ERROR_NO_MORE_ITEMS, ...).
 * All functions may be called from any thread; another process's change is seen by the next
 * call. Compiles as C and as C++.
 *
 * Key and value names are compared without regard to case and keep the case they were made
 * with. A garbage or closed HKEY gives ERROR_INVALID_HANDLE, a handle whose key was deleted
 * ERROR_KEY_DELETED, a null pointer where one is needed ERROR_INVALID_PARAMETER. A handle allows
 * what its samDesired allows (KEY_QUERY_VALUE, KEY_SET_VALUE, KEY_CREATE_SUB_KEY,
 * KEY_ENUMERATE_SUB_KEYS), else ERROR_ACCESS_DENIED; the predefined keys allow everything.
 * A hive file that cannot be parsed gives ERROR_BADDB until it is repaired. */
#ifndef DORVO_WINREG_H
#define DORVO_WINREG_H

#include <dorvo/wintypes.h>

typedef struct HKEY__* HKEY;
typedef HKEY* PHKEY;
typedef DWORD REGSAM;

#define HKEY_CLASSES_ROOT ((HKEY)(uintptr_t)0x80000000u)
#define HKEY_CURRENT_USER ((HKEY)(uintptr_t)0x80000001u)
#define HKEY_LOCAL_MACHINE ((HKEY)(uintptr_t)0x80000002u)

#define REG_NONE 0
#define REG_SZ 1
#define REG_BINARY 3
#define REG_DWORD 4

#define REG_OPTION_NON_VOLATILE 0
#define REG_CREATED_NEW_KEY 1
#define REG_OPENED_EXISTING_KEY 2

#define KEY_QUERY_VALUE 0x0001
#define KEY_SET_VALUE 0x0002
#define KEY_CREATE_SUB_KEY 0x0004
#define KEY_ENUMERATE_SUB_KEYS 0x0008
#define KEY_READ 0x20019
#define KEY_WRITE 0x20006
#define KEY_ALL_ACCESS 0xF003F

/* A null or empty lpSubKey opens a new handle to hKey's own key. */
DORVO_API LONG RegOpenKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD ulOptions, REGSAM samDesired,
                             PHKEY phkResult);
/* Makes every missing key on the path; *lpdwDisposition tells REG_CREATED_NEW_KEY from
 * REG_OPENED_EXISTING_KEY. Only REG_OPTION_NON_VOLATILE is supported; key names are 1 to 255
 * characters without control characters. */
DORVO_API LONG RegCreateKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD Reserved, LPWSTR lpClass,
                               DWORD dwOptions, REGSAM samDesired, void* lpSecurityAttributes,
                               PHKEY phkResult, DWORD* lpdwDisposition);
/* A null or empty value name is the key's default value. *lpcbData counts bytes; REG_SZ data
 * is UTF-16 with its terminating zero. A null lpData asks only for the type and size. With a
 * buffer that is too small the call answers ERROR_MORE_DATA and the size needed. */
DORVO_API LONG RegQueryValueExW(HKEY hKey, LPCWSTR lpValueName, DWORD* lpReserved, DWORD* lpType,
                                BYTE* lpData, DWORD* lpcbData);
/* Stores cbData bytes as given, of any type. HKEY_LOCAL_MACHINE and HKEY_CURRENT_USER themselves
 * hold no values (ERROR_ACCESS_DENIED). */
DORVO_API LONG RegSetValueExW(HKEY hKey, LPCWSTR lpValueName, DWORD Reserved, DWORD dwType,
                              const BYTE* lpData, DWORD cbData);
/* Subkeys in name order, compared without regard to case; names that differ only in case (a
 * hand-edited hive may hold such) both appear, next to each other. *lpcchName counts characters
 * (in: the buffer with room for the zero; out: the name without it); a buffer that is too small
 * gives ERROR_MORE_DATA and leaves *lpcchName as it was. ERROR_NO_MORE_ITEMS past the last one.
 * Keys have no class (empty) and no write time (zero). */
DORVO_API LONG RegEnumKeyExW(HKEY hKey, DWORD dwIndex, LPWSTR lpName, DWORD* lpcchName,
                             DWORD* lpReserved, LPWSTR lpClass, DWORD* lpcchClass,
                             FILETIME* lpftLastWriteTime);
/* Deletes a key that has no subkeys (else ERROR_ACCESS_DENIED); an empty lpSubKey deletes hKey's
 * own key. Handles to it then give ERROR_KEY_DELETED. */
DORVO_API LONG RegDeleteKeyW(HKEY hKey, LPCWSTR lpSubKey);
DORVO_API LONG RegDeleteValueW(HKEY hKey, LPCWSTR lpValueName);
DORVO_API LONG RegCloseKey(HKEY hKey);

/* This platform's own: problems with the registry's files (a hive that cannot be parsed, named
 * with its path and line; a folder or lock that cannot be made) go to the handler as well as to
 * the log, each once per change of the file, on whichever thread met them. A null handler ends
 * the calls; the function returns after a handler call under way has finished. */
typedef void (*DorvoRegProblemHandler)(const char* messageUtf8, void* context);
DORVO_API void DorvoRegSetProblemHandler(DorvoRegProblemHandler handler, void* context);

/* For installers: from this call on, the process's changes of HKEY_LOCAL_MACHINE and
   HKEY_CLASSES_ROOT go to the installation's machine-wide registry, which every user's registry
   reads beneath their own, and reads of them see that registry alone. ERROR_FILE_NOT_FOUND when
   the installation has none (a platform library that was not installed). */
DORVO_API LONG DorvoRegUseMachineWideRegistry(void);

#endif /* DORVO_WINREG_H */
