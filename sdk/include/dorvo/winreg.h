/* The registry: keys with named values, in one hive for the machine and one for the user.
 * HKEY_CLASSES_ROOT is the machine's "Software\Classes". Functions return Win32 error codes
 * (ERROR_SUCCESS, ERROR_FILE_NOT_FOUND, ERROR_MORE_DATA, ERROR_NO_MORE_ITEMS, ...).
 * All functions may be called from any thread; another process's change is seen by the next
 * call. Compiles as C and as C++. */
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

DORVO_API LONG RegOpenKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD ulOptions, REGSAM samDesired,
                             PHKEY phkResult);
DORVO_API LONG RegCreateKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD Reserved, LPWSTR lpClass,
                               DWORD dwOptions, REGSAM samDesired, void* lpSecurityAttributes,
                               PHKEY phkResult, DWORD* lpdwDisposition);
/* A null or empty value name is the key's default value. *lpcbData counts bytes; REG_SZ data
 * is UTF-16 with its terminating zero. With a buffer that is too small the call answers
 * ERROR_MORE_DATA and the size needed. */
DORVO_API LONG RegQueryValueExW(HKEY hKey, LPCWSTR lpValueName, DWORD* lpReserved, DWORD* lpType,
                                BYTE* lpData, DWORD* lpcbData);
DORVO_API LONG RegSetValueExW(HKEY hKey, LPCWSTR lpValueName, DWORD Reserved, DWORD dwType,
                              const BYTE* lpData, DWORD cbData);
/* Subkeys in name order; *lpcchName counts characters (in: the buffer with room for the zero;
 * out: the name without it). ERROR_NO_MORE_ITEMS past the last one. */
DORVO_API LONG RegEnumKeyExW(HKEY hKey, DWORD dwIndex, LPWSTR lpName, DWORD* lpcchName,
                             DWORD* lpReserved, LPWSTR lpClass, DWORD* lpcchClass,
                             FILETIME* lpftLastWriteTime);
/* Deletes a key that has no subkeys. */
DORVO_API LONG RegDeleteKeyW(HKEY hKey, LPCWSTR lpSubKey);
DORVO_API LONG RegDeleteValueW(HKEY hKey, LPCWSTR lpValueName);
DORVO_API LONG RegCloseKey(HKEY hKey);

#endif /* DORVO_WINREG_H */
