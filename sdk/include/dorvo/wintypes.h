/* Basic types, result codes and the interface declaration macros shared by the host and every
 * component. Compiles as C (C11) and as C++.
 *
 * Widths are fixed: LONG and BOOL are 32-bit (never `long`, which is 64-bit here) and WCHAR is
 * a UTF-16 code unit (never wchar_t, which is 32-bit here). */
#ifndef DORVO_WINTYPES_H
#define DORVO_WINTYPES_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
#define DORVO_EXTERN_C extern "C"
#define DORVO_EXTERN_C_BEGIN extern "C" {
#define DORVO_EXTERN_C_END }
#else
#define DORVO_EXTERN_C extern
#define DORVO_EXTERN_C_BEGIN
#define DORVO_EXTERN_C_END
#endif

/* Functions of the host's platform library; it is the only library a component links. */
#define DORVO_API DORVO_EXTERN_C __attribute__((visibility("default")))

/* The component object model's calling convention is the platform's own here. */
#define STDMETHODCALLTYPE
#define STDAPICALLTYPE
#define STDAPI DORVO_API HRESULT STDAPICALLTYPE
#define STDAPI_(type) DORVO_API type STDAPICALLTYPE

typedef int32_t HRESULT;
typedef int32_t LONG;
typedef uint32_t ULONG;
typedef uint32_t DWORD;
typedef int32_t BOOL;
typedef uint16_t WORD;
typedef uint8_t BYTE;
typedef uint16_t USHORT;
typedef int64_t LONGLONG;
typedef uint64_t ULONGLONG;
typedef uintptr_t UINT_PTR;
typedef intptr_t LONG_PTR;
typedef uintptr_t ULONG_PTR;
typedef uintptr_t DWORD_PTR;
typedef int32_t INT;
typedef uint32_t UINT;
#ifdef __cplusplus
typedef char16_t WCHAR;
#else
typedef uint16_t WCHAR; /* the same UTF-16 code unit as C++'s char16_t */
#endif
typedef WCHAR* LPWSTR;
typedef const WCHAR* LPCWSTR;
typedef WCHAR OLECHAR;
typedef OLECHAR* LPOLESTR;
typedef const OLECHAR* LPCOLESTR;
typedef void* LPVOID;
typedef const void* LPCVOID;

#define TRUE 1
#define INFINITE 0xFFFFFFFFu /* a wait or delay without limit, or the default */
#define FALSE 0

typedef union _LARGE_INTEGER {
    struct {
        DWORD LowPart;
        LONG HighPart;
    } u;
    LONGLONG QuadPart;
} LARGE_INTEGER;

typedef union _ULARGE_INTEGER {
    struct {
        DWORD LowPart;
        DWORD HighPart;
    } u;
    ULONGLONG QuadPart;
} ULARGE_INTEGER;

typedef struct tagRECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
} RECT;

typedef struct tagSIZE {
    LONG cx;
    LONG cy;
} SIZE;

typedef struct _FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
} FILETIME;

typedef struct tagPOINT {
    LONG x;
    LONG y;
} POINT;

/* A native window: the window system's id of the window (QWidget::winId()), or a message
 * window of <dorvo/winuser.h>. */
typedef struct HWND__* HWND;
typedef struct HINSTANCE__* HINSTANCE;
typedef HINSTANCE HMODULE;

/* A window message (<dorvo/winuser.h>; property pages translate accelerators with it). */
typedef uintptr_t WPARAM;
typedef intptr_t LPARAM;
typedef intptr_t LRESULT;
typedef struct tagMSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    POINT pt;
} MSG;

typedef struct _GUID {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];
} GUID;

typedef GUID IID;
typedef GUID CLSID;
typedef IID* LPIID;
typedef CLSID* LPCLSID;

#ifdef __cplusplus
#define REFGUID const GUID&
#define REFIID const IID&
#define REFCLSID const IID&
#else
#define REFGUID const GUID*
#define REFIID const IID*
#define REFCLSID const IID*
#endif

/* Defines a GUID constant with external linkage once per header, inline in C++ and as a
 * tentative-free `static const` in C so that every translation unit has its own copy. */
#ifdef __cplusplus
#define DORVO_DEFINE_GUID(name, l, w1, w2, b1, b2, b3, b4, b5, b6, b7, b8)                         \
    inline constexpr GUID name = {l, w1, w2, {b1, b2, b3, b4, b5, b6, b7, b8}}
#else
#define DORVO_DEFINE_GUID(name, l, w1, w2, b1, b2, b3, b4, b5, b6, b7, b8)                         \
    static const GUID name __attribute__((unused)) = {l, w1, w2, {b1, b2, b3, b4, b5, b6, b7, b8}}
#endif

/* ---- Result codes ------------------------------------------------------------------------- */

#define DORVO_HR(x) ((HRESULT)(uint32_t)(x))
#define SUCCEEDED(hr) (((HRESULT)(hr)) >= 0)
#define FAILED(hr) (((HRESULT)(hr)) < 0)

#define S_OK DORVO_HR(0x00000000)
#define S_FALSE DORVO_HR(0x00000001)
#define E_NOTIMPL DORVO_HR(0x80004001)
#define E_NOINTERFACE DORVO_HR(0x80004002)
#define E_POINTER DORVO_HR(0x80004003)
#define E_ABORT DORVO_HR(0x80004004)
#define E_FAIL DORVO_HR(0x80004005)
#define E_UNEXPECTED DORVO_HR(0x8000FFFF)
#define E_ACCESSDENIED DORVO_HR(0x80070005)
#define E_HANDLE DORVO_HR(0x80070006)
#define E_OUTOFMEMORY DORVO_HR(0x8007000E)
#define E_INVALIDARG DORVO_HR(0x80070057)
#define STG_E_INVALIDFUNCTION DORVO_HR(0x80030001)
#define STG_E_INVALIDPOINTER DORVO_HR(0x80030009)
#define CLASS_E_NOAGGREGATION DORVO_HR(0x80040110)
#define CLASS_E_CLASSNOTAVAILABLE DORVO_HR(0x80040111)
#define REGDB_E_CLASSNOTREG DORVO_HR(0x80040154)
#define REGDB_E_READREGDB DORVO_HR(0x80040150)
#define CONNECT_E_NOCONNECTION DORVO_HR(0x80040200)
#define CONNECT_E_ADVISELIMIT DORVO_HR(0x80040201)
#define CONNECT_E_CANNOTCONNECT DORVO_HR(0x80040202)
#define SELFREG_E_CLASS DORVO_HR(0x80040201)
#define CO_E_NOTINITIALIZED DORVO_HR(0x800401F0)
#define CO_E_CLASSSTRING DORVO_HR(0x800401F3)
#define CO_E_DLLNOTFOUND DORVO_HR(0x800401F8)
#define CO_E_ERRORINDLL DORVO_HR(0x800401F9)
#define RPC_E_CHANGED_MODE DORVO_HR(0x80010106)

/* Win32 error codes, as the registry functions return them. */
#define ERROR_SUCCESS 0
#define ERROR_FILE_NOT_FOUND 2
#define ERROR_ACCESS_DENIED 5
#define ERROR_INVALID_HANDLE 6
#define ERROR_NOT_ENOUGH_MEMORY 8
#define ERROR_OUTOFMEMORY 14
#define ERROR_WRITE_FAULT 29
#define ERROR_INVALID_PARAMETER 87
#define ERROR_MORE_DATA 234
#define ERROR_NO_MORE_ITEMS 259
#define ERROR_CANTOPEN 1011
#define ERROR_CANTREAD 1012
#define ERROR_CANTWRITE 1013
#define ERROR_BADDB 1009
#define ERROR_BADKEY 1010
#define ERROR_KEY_DELETED 1018
#define ERROR_CANCELLED 1223

#endif /* DORVO_WINTYPES_H */
