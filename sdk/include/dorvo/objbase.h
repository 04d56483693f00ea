/* The component object model: declaration macros, the standard interfaces with their published
 * identifiers and method orders, and the functions of the host's platform library.
 *
 * An interface is a table of functions. In C++ it is a struct of pure virtual functions without
 * a virtual destructor, which gives the same table layout as the C declaration: a struct whose
 * first member points at a struct of function pointers, each taking the object first. Declare
 * each interface once with the macros below and it compiles in both languages. */
#ifndef DORVO_OBJBASE_H
#define DORVO_OBJBASE_H

#include <dorvo/wintypes.h>

/* The interface declarations are macro tables that the formatter misreads: this header keeps
 * the layout it was written in. */
/* clang-format off */

#ifdef __cplusplus
#define DECLARE_INTERFACE(iface) struct iface
#define DECLARE_INTERFACE_(iface, base) struct iface : public base
#define STDMETHOD(method) virtual HRESULT STDMETHODCALLTYPE method
#define STDMETHOD_(type, method) virtual type STDMETHODCALLTYPE method
#define PURE = 0
#define THIS_
#define THIS void
/* Inherited methods are listed again only in C; in C++ they come from the base struct. */
#define DORVO_INHERITED(methods)
#else
#define DECLARE_INTERFACE(iface)                                                                   \
    typedef struct iface##Vtbl iface##Vtbl;                                                        \
    typedef struct iface {                                                                         \
        const iface##Vtbl* lpVtbl;                                                                 \
    } iface;                                                                                       \
    struct iface##Vtbl
#define DECLARE_INTERFACE_(iface, base) DECLARE_INTERFACE(iface)
#define STDMETHOD(method) HRESULT(STDMETHODCALLTYPE* method)
#define STDMETHOD_(type, method) type(STDMETHODCALLTYPE* method)
#define PURE
#define THIS_ INTERFACE* This,
#define THIS INTERFACE* This
#define DORVO_INHERITED(methods) methods
#endif

/* ---- IUnknown -------------------------------------------------------------------------------- */

#define DORVO_IUNKNOWN_METHODS                                                                     \
    STDMETHOD(QueryInterface)(THIS_ REFIID riid, void** ppvObject) PURE;                           \
    STDMETHOD_(ULONG, AddRef)(THIS) PURE;                                                          \
    STDMETHOD_(ULONG, Release)(THIS) PURE;

#undef INTERFACE
#define INTERFACE IUnknown
DECLARE_INTERFACE(IUnknown) {
    /* Any thread, unless the interface that inherits it says otherwise. */
    DORVO_IUNKNOWN_METHODS
};
typedef IUnknown* LPUNKNOWN;

/* ---- IClassFactory ----------------------------------------------------------------------------- */

#undef INTERFACE
#define INTERFACE IClassFactory
DECLARE_INTERFACE_(IClassFactory, IUnknown) {
    DORVO_INHERITED(DORVO_IUNKNOWN_METHODS)
    /* Any thread: creates one object, aggregated by outer when given. */
    STDMETHOD(CreateInstance)(THIS_ IUnknown * outer, REFIID riid, void** ppvObject) PURE;
    /* Any thread: keeps the server loaded while lock is TRUE. */
    STDMETHOD(LockServer)(THIS_ BOOL lock) PURE;
};

/* ---- Streams ----------------------------------------------------------------------------------- */

typedef struct tagSTATSTG {
    LPOLESTR pwcsName;
    DWORD type;
    ULARGE_INTEGER cbSize;
    FILETIME mtime;
    FILETIME ctime;
    FILETIME atime;
    DWORD grfMode;
    DWORD grfLocksSupported;
    CLSID clsid;
    DWORD grfStateBits;
    DWORD reserved;
} STATSTG;

#define STATFLAG_DEFAULT 0
#define STATFLAG_NONAME 1

#define STREAM_SEEK_SET 0
#define STREAM_SEEK_CUR 1
#define STREAM_SEEK_END 2

#define DORVO_ISEQUENTIALSTREAM_METHODS                                                            \
    STDMETHOD(Read)(THIS_ void* pv, ULONG cb, ULONG* pcbRead) PURE;                                \
    STDMETHOD(Write)(THIS_ const void* pv, ULONG cb, ULONG* pcbWritten) PURE;

#undef INTERFACE
#define INTERFACE ISequentialStream
DECLARE_INTERFACE_(ISequentialStream, IUnknown) {
    DORVO_INHERITED(DORVO_IUNKNOWN_METHODS)
    /* The thread of the caller that handed out the stream (the GUI thread for documents). */
    DORVO_ISEQUENTIALSTREAM_METHODS
};

#undef INTERFACE
#define INTERFACE IStream
DECLARE_INTERFACE_(IStream, ISequentialStream) {
    DORVO_INHERITED(DORVO_IUNKNOWN_METHODS)
    DORVO_INHERITED(DORVO_ISEQUENTIALSTREAM_METHODS)
    /* All methods: the thread of the caller that handed out the stream. */
    STDMETHOD(Seek)(THIS_ LARGE_INTEGER dlibMove, DWORD dwOrigin, ULARGE_INTEGER* plibNewPosition)
        PURE;
    STDMETHOD(SetSize)(THIS_ ULARGE_INTEGER libNewSize) PURE;
    STDMETHOD(CopyTo)(THIS_ IStream * pstm, ULARGE_INTEGER cb, ULARGE_INTEGER * pcbRead,
                      ULARGE_INTEGER * pcbWritten) PURE;
    STDMETHOD(Commit)(THIS_ DWORD grfCommitFlags) PURE;
    STDMETHOD(Revert)(THIS) PURE;
    STDMETHOD(LockRegion)(THIS_ ULARGE_INTEGER libOffset, ULARGE_INTEGER cb, DWORD dwLockType)
        PURE;
    STDMETHOD(UnlockRegion)(THIS_ ULARGE_INTEGER libOffset, ULARGE_INTEGER cb, DWORD dwLockType)
        PURE;
    STDMETHOD(Stat)(THIS_ STATSTG * pstatstg, DWORD grfStatFlag) PURE;
    STDMETHOD(Clone)(THIS_ IStream * *ppstm) PURE;
};

/* ---- Persistence ------------------------------------------------------------------------------- */

#define DORVO_IPERSIST_METHODS STDMETHOD(GetClassID)(THIS_ CLSID * pClassID) PURE;

#undef INTERFACE
#define INTERFACE IPersist
DECLARE_INTERFACE_(IPersist, IUnknown) {
    DORVO_INHERITED(DORVO_IUNKNOWN_METHODS)
    /* GUI thread. */
    DORVO_IPERSIST_METHODS
};

#undef INTERFACE
#define INTERFACE IPersistStream
DECLARE_INTERFACE_(IPersistStream, IPersist) {
    DORVO_INHERITED(DORVO_IUNKNOWN_METHODS)
    DORVO_INHERITED(DORVO_IPERSIST_METHODS)
    /* GUI thread. */
    STDMETHOD(IsDirty)(THIS) PURE;
    /* GUI thread: reads the state saved by Save from the stream. */
    STDMETHOD(Load)(THIS_ IStream * pStm) PURE;
    /* GUI thread: writes the whole state to the stream. */
    STDMETHOD(Save)(THIS_ IStream * pStm, BOOL fClearDirty) PURE;
    /* GUI thread. */
    STDMETHOD(GetSizeMax)(THIS_ ULARGE_INTEGER * pcbSize) PURE;
};

/* ---- Property pages ---------------------------------------------------------------------------- */

typedef DWORD LCID;
typedef const RECT* LPCRECT;

typedef struct tagPROPPAGEINFO {
    ULONG cb;
    LPOLESTR pszTitle;
    SIZE size;
    LPOLESTR pszDocString;
    LPOLESTR pszHelpFile;
    DWORD dwHelpContext;
} PROPPAGEINFO;

typedef struct tagCAUUID {
    ULONG cElems;
    GUID* pElems;
} CAUUID;

#define SW_HIDE 0
#define SW_SHOWNORMAL 1
#define SW_SHOW 5

#undef INTERFACE
#define INTERFACE IPropertyPageSite
DECLARE_INTERFACE_(IPropertyPageSite, IUnknown) {
    DORVO_INHERITED(DORVO_IUNKNOWN_METHODS)
    /* GUI thread, for all methods. */
    STDMETHOD(OnStatusChange)(THIS_ DWORD dwFlags) PURE;
    STDMETHOD(GetLocaleID)(THIS_ LCID * pLocaleID) PURE;
    STDMETHOD(GetPageContainer)(THIS_ IUnknown * *ppUnk) PURE;
    STDMETHOD(TranslateAccelerator)(THIS_ MSG * pMsg) PURE;
};

#undef INTERFACE
#define INTERFACE IPropertyPage
DECLARE_INTERFACE_(IPropertyPage, IUnknown) {
    DORVO_INHERITED(DORVO_IUNKNOWN_METHODS)
    /* GUI thread, for all methods. */
    STDMETHOD(SetPageSite)(THIS_ IPropertyPageSite * pPageSite) PURE;
    /* Creates the page inside the native window hWndParent at the given rectangle. */
    STDMETHOD(Activate)(THIS_ HWND hWndParent, LPCRECT pRect, BOOL bModal) PURE;
    STDMETHOD(Deactivate)(THIS) PURE;
    STDMETHOD(GetPageInfo)(THIS_ PROPPAGEINFO * pPageInfo) PURE;
    STDMETHOD(SetObjects)(THIS_ ULONG cObjects, IUnknown * *ppUnk) PURE;
    STDMETHOD(Show)(THIS_ UINT nCmdShow) PURE;
    STDMETHOD(Move)(THIS_ LPCRECT pRect) PURE;
    STDMETHOD(IsPageDirty)(THIS) PURE;
    STDMETHOD(Apply)(THIS) PURE;
    STDMETHOD(Help)(THIS_ LPCOLESTR pszHelpDir) PURE;
    STDMETHOD(TranslateAccelerator)(THIS_ MSG * pMsg) PURE;
};

#undef INTERFACE
#define INTERFACE ISpecifyPropertyPages
DECLARE_INTERFACE_(ISpecifyPropertyPages, IUnknown) {
    DORVO_INHERITED(DORVO_IUNKNOWN_METHODS)
    /* GUI thread: fills a task-allocated array of page class identifiers. */
    STDMETHOD(GetPages)(THIS_ CAUUID * pPages) PURE;
};

/* ---- Connection points ------------------------------------------------------------------------- */

typedef struct tagCONNECTDATA {
    IUnknown* pUnk;
    DWORD dwCookie;
} CONNECTDATA;

#ifdef __cplusplus
struct IConnectionPoint;
struct IConnectionPointContainer;
#else
typedef struct IConnectionPoint IConnectionPoint;
typedef struct IConnectionPointContainer IConnectionPointContainer;
#endif

#undef INTERFACE
#define INTERFACE IEnumConnections
DECLARE_INTERFACE_(IEnumConnections, IUnknown) {
    DORVO_INHERITED(DORVO_IUNKNOWN_METHODS)
    /* GUI thread, for all methods. */
    STDMETHOD(Next)(THIS_ ULONG cConnections, CONNECTDATA * rgcd, ULONG * pcFetched) PURE;
    STDMETHOD(Skip)(THIS_ ULONG cConnections) PURE;
    STDMETHOD(Reset)(THIS) PURE;
    STDMETHOD(Clone)(THIS_ IEnumConnections * *ppEnum) PURE;
};

#undef INTERFACE
#define INTERFACE IEnumConnectionPoints
DECLARE_INTERFACE_(IEnumConnectionPoints, IUnknown) {
    DORVO_INHERITED(DORVO_IUNKNOWN_METHODS)
    /* GUI thread, for all methods. */
    STDMETHOD(Next)(THIS_ ULONG cConnections, IConnectionPoint * *ppCP, ULONG * pcFetched) PURE;
    STDMETHOD(Skip)(THIS_ ULONG cConnections) PURE;
    STDMETHOD(Reset)(THIS) PURE;
    STDMETHOD(Clone)(THIS_ IEnumConnectionPoints * *ppEnum) PURE;
};

#undef INTERFACE
#define INTERFACE IConnectionPoint
DECLARE_INTERFACE_(IConnectionPoint, IUnknown) {
    DORVO_INHERITED(DORVO_IUNKNOWN_METHODS)
    /* GUI thread, for all methods. */
    STDMETHOD(GetConnectionInterface)(THIS_ IID * pIID) PURE;
    STDMETHOD(GetConnectionPointContainer)(THIS_ IConnectionPointContainer * *ppCPC) PURE;
    STDMETHOD(Advise)(THIS_ IUnknown * pUnkSink, DWORD * pdwCookie) PURE;
    STDMETHOD(Unadvise)(THIS_ DWORD dwCookie) PURE;
    STDMETHOD(EnumConnections)(THIS_ IEnumConnections * *ppEnum) PURE;
};

#undef INTERFACE
#define INTERFACE IConnectionPointContainer
DECLARE_INTERFACE_(IConnectionPointContainer, IUnknown) {
    DORVO_INHERITED(DORVO_IUNKNOWN_METHODS)
    /* GUI thread, for all methods. */
    STDMETHOD(EnumConnectionPoints)(THIS_ IEnumConnectionPoints * *ppEnum) PURE;
    STDMETHOD(FindConnectionPoint)(THIS_ REFIID riid, IConnectionPoint * *ppCP) PURE;
};

#undef INTERFACE

/* ---- Published identifiers --------------------------------------------------------------------- */

DORVO_DEFINE_GUID(GUID_NULL, 0x00000000, 0x0000, 0x0000, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                  0x00);
DORVO_DEFINE_GUID(IID_IUnknown, 0x00000000, 0x0000, 0x0000, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00,
                  0x00, 0x46);
DORVO_DEFINE_GUID(IID_IClassFactory, 0x00000001, 0x0000, 0x0000, 0xC0, 0x00, 0x00, 0x00, 0x00,
                  0x00, 0x00, 0x46);
DORVO_DEFINE_GUID(IID_ISequentialStream, 0x0C733A30, 0x2A1C, 0x11CE, 0xAD, 0xE5, 0x00, 0xAA, 0x00,
                  0x44, 0x77, 0x3D);
DORVO_DEFINE_GUID(IID_IStream, 0x0000000C, 0x0000, 0x0000, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                  0x46);
DORVO_DEFINE_GUID(IID_IPersist, 0x0000010C, 0x0000, 0x0000, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00,
                  0x00, 0x46);
DORVO_DEFINE_GUID(IID_IPersistStream, 0x00000109, 0x0000, 0x0000, 0xC0, 0x00, 0x00, 0x00, 0x00,
                  0x00, 0x00, 0x46);
DORVO_DEFINE_GUID(IID_IPropertyPage, 0xB196B28D, 0xBAB4, 0x101A, 0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34,
                  0x1D, 0x07);
DORVO_DEFINE_GUID(IID_IPropertyPageSite, 0xB196B28C, 0xBAB4, 0x101A, 0xB6, 0x9C, 0x00, 0xAA, 0x00,
                  0x34, 0x1D, 0x07);
DORVO_DEFINE_GUID(IID_ISpecifyPropertyPages, 0xB196B28B, 0xBAB4, 0x101A, 0xB6, 0x9C, 0x00, 0xAA,
                  0x00, 0x34, 0x1D, 0x07);
DORVO_DEFINE_GUID(IID_IConnectionPointContainer, 0xB196B284, 0xBAB4, 0x101A, 0xB6, 0x9C, 0x00, 0xAA,
                  0x00, 0x34, 0x1D, 0x07);
DORVO_DEFINE_GUID(IID_IEnumConnectionPoints, 0xB196B285, 0xBAB4, 0x101A, 0xB6, 0x9C, 0x00, 0xAA,
                  0x00, 0x34, 0x1D, 0x07);
DORVO_DEFINE_GUID(IID_IConnectionPoint, 0xB196B286, 0xBAB4, 0x101A, 0xB6, 0x9C, 0x00, 0xAA, 0x00,
                  0x34, 0x1D, 0x07);
DORVO_DEFINE_GUID(IID_IEnumConnections, 0xB196B287, 0xBAB4, 0x101A, 0xB6, 0x9C, 0x00, 0xAA, 0x00,
                  0x34, 0x1D, 0x07);

/* ---- Functions of the platform library --------------------------------------------------------- */

typedef size_t SIZE_T;

#define COINIT_MULTITHREADED 0x0
#define COINIT_APARTMENTTHREADED 0x2
#define CLSCTX_INPROC_SERVER 0x1
#define CLSCTX_ALL 0x17

#ifdef __cplusplus
inline bool IsEqualGUID(REFGUID a, REFGUID b) {
    return a.Data1 == b.Data1 && a.Data2 == b.Data2 && a.Data3 == b.Data3 &&
           a.Data4[0] == b.Data4[0] && a.Data4[1] == b.Data4[1] && a.Data4[2] == b.Data4[2] &&
           a.Data4[3] == b.Data4[3] && a.Data4[4] == b.Data4[4] && a.Data4[5] == b.Data4[5] &&
           a.Data4[6] == b.Data4[6] && a.Data4[7] == b.Data4[7];
}
inline bool operator==(const GUID& a, const GUID& b) { return IsEqualGUID(a, b); }
#define IsEqualIID(a, b) IsEqualGUID(a, b)
#define IsEqualCLSID(a, b) IsEqualGUID(a, b)
#else
static inline int IsEqualGUID(REFGUID a, REFGUID b) {
    int i;
    if (a->Data1 != b->Data1 || a->Data2 != b->Data2 || a->Data3 != b->Data3)
        return 0;
    for (i = 0; i < 8; ++i)
        if (a->Data4[i] != b->Data4[i])
            return 0;
    return 1;
}
#define IsEqualIID(a, b) IsEqualGUID(a, b)
#define IsEqualCLSID(a, b) IsEqualGUID(a, b)
#endif

/* Any thread: counts this thread's entries; every successful call needs a CoUninitialize.
 * Objects are always called on the caller's own thread, so creating and using them works
 * without entering an apartment; the count only gives callers the usual answers. */
STDAPI CoInitializeEx(LPVOID pvReserved, DWORD dwCoInit);
/* Any thread: leaves what the matching CoInitializeEx entered. */
STDAPI_(void) CoUninitialize(void);

/* Any thread: memory that crosses an interface; the receiver frees it with CoTaskMemFree. */
STDAPI_(LPVOID) CoTaskMemAlloc(SIZE_T cb);
/* Any thread. */
STDAPI_(LPVOID) CoTaskMemRealloc(LPVOID pv, SIZE_T cb);
/* Any thread: null is allowed. */
STDAPI_(void) CoTaskMemFree(LPVOID pv);

/* Any thread: loads the class's registered library (once per path) and creates an object. */
STDAPI CoCreateInstance(REFCLSID rclsid, IUnknown* pUnkOuter, DWORD dwClsContext, REFIID riid,
                        LPVOID* ppv);
/* Any thread: the class factory (or another interface of it) of a registered class. */
STDAPI CoGetClassObject(REFCLSID rclsid, DWORD dwClsContext, LPVOID pvReserved, REFIID riid,
                        LPVOID* ppv);
/* Any thread: CoFreeUnusedLibrariesEx with the default delay (INFINITE: ten minutes). */
STDAPI_(void) CoFreeUnusedLibraries(void);
/* Any thread: unloads every loaded library whose DllCanUnloadNow has answered S_OK at every call
 * for at least dwUnloadDelay milliseconds (0: at once; INFINITE: the default). The delay keeps a
 * library loaded while a thread that released its last object may still be running the end of
 * that Release in the library's code; unload at once only when no other thread can be. */
STDAPI_(void) CoFreeUnusedLibrariesEx(DWORD dwUnloadDelay, DWORD dwReserved);

/* Any thread: a new random identifier. */
STDAPI CoCreateGuid(GUID* pguid);
/* Any thread: parses the braced registry form "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}". */
STDAPI CLSIDFromString(LPCOLESTR lpsz, LPCLSID pclsid);
/* Any thread: the braced form in a task-allocated string. */
STDAPI StringFromCLSID(REFCLSID rclsid, LPOLESTR* lplpsz);
/* Any thread: the braced form into a caller's buffer; characters written with the terminating
 * zero (39), or 0 when cchMax is too small. */
STDAPI_(int) StringFromGUID2(REFGUID rguid, LPOLESTR lpsz, int cchMax);

/* Any thread: the full path of the shared library (or program) that contains addressInModule;
 * null means the program itself. Writes at most size characters with the terminating zero and
 * returns the characters written without it; when the path does not fit it is cut to size - 1
 * characters and size is returned. 0 on failure. An in-process server passes the address of one
 * of its own functions to learn the path it registers. */
STDAPI_(DWORD) DorvoGetModuleFileName(const void* addressInModule, LPWSTR buffer, DWORD size);

/* Any thread: loads the in-process server library at `path` (a file name; a relative one is
 * taken from the current folder, so pass an absolute one to have the library register where it
 * lies) and calls its DllRegisterServer, or DllUnregisterServer when `unregister` is non-zero;
 * *serverResult gets the function's answer. S_OK when the function was called; E_FAIL when the
 * library cannot be loaded, does not export the function or the function threw, with a text
 * saying which in *reason (when reason is not null; free it with CoTaskMemFree). The library
 * stays loaded. */
STDAPI DorvoCallRegistrationFunction(const char* path, BOOL unregister, HRESULT* serverResult,
                                     char** reason);

/* Exports of an in-process server library. */
typedef HRESULT(STDAPICALLTYPE* LPFNGETCLASSOBJECT)(REFCLSID, REFIID, LPVOID*);
typedef HRESULT(STDAPICALLTYPE* LPFNCANUNLOADNOW)(void);
typedef HRESULT(STDAPICALLTYPE* LPFNREGISTERSERVER)(void);

#endif /* DORVO_OBJBASE_H */
