/* An in-process server written in C against the SDK headers: one object with IStream over
 * memory, IMPInitialise and IMPEventFilter, each a table of function pointers. It calls the
 * host's objects through the C declarations. */
#include "CComponentIds.h"

#include <dorvo/dorvo2.h>
#include <dorvo/winreg.h>

#include <stddef.h>
#include <string.h>

typedef struct CObject {
    IStream stream;
    IMPInitialise initialise;
    IMPEventFilter filter;
    ULONG refs;
    BYTE* data;
    ULONGLONG size;
    ULONGLONG position;
    IMPAsyncOutput* output;
    DWORD timeValue;
    HRESULT conversionResult;
} CObject;

static LONG g_objects;
static LONG g_locks;
static const int g_moduleAnchor;

#define OBJECT_OF(pointer, member) ((CObject*)((char*)(pointer)-offsetof(CObject, member)))

/* ---- IUnknown, shared by the three interfaces ------------------------------------------------ */

static HRESULT objectQueryInterface(CObject* object, REFIID riid, void** ppv) {
    if (ppv == NULL)
        return E_POINTER;
    if (IsEqualIID(riid, &IID_IUnknown) || IsEqualIID(riid, &IID_IStream) ||
        IsEqualIID(riid, &IID_ISequentialStream))
        *ppv = &object->stream;
    else if (IsEqualIID(riid, &IID_IMPInitialise))
        *ppv = &object->initialise;
    else if (IsEqualIID(riid, &IID_IMPEventFilter))
        *ppv = &object->filter;
    else {
        *ppv = NULL;
        return E_NOINTERFACE;
    }
    __atomic_add_fetch(&object->refs, 1, __ATOMIC_SEQ_CST);
    return S_OK;
}

static ULONG objectAddRef(CObject* object) {
    return __atomic_add_fetch(&object->refs, 1, __ATOMIC_SEQ_CST);
}

static ULONG objectRelease(CObject* object) {
    const ULONG refs = __atomic_sub_fetch(&object->refs, 1, __ATOMIC_SEQ_CST);
    if (refs == 0) {
        if (object->output)
            object->output->lpVtbl->Release(object->output);
        CoTaskMemFree(object->data);
        CoTaskMemFree(object);
        __atomic_sub_fetch(&g_objects, 1, __ATOMIC_SEQ_CST);
    }
    return refs;
}

/* ---- IStream ------------------------------------------------------------------------------- */

static HRESULT STDMETHODCALLTYPE streamQueryInterface(IStream* This, REFIID riid, void** ppv) {
    return objectQueryInterface(OBJECT_OF(This, stream), riid, ppv);
}
static ULONG STDMETHODCALLTYPE streamAddRef(IStream* This) {
    return objectAddRef(OBJECT_OF(This, stream));
}
static ULONG STDMETHODCALLTYPE streamRelease(IStream* This) {
    return objectRelease(OBJECT_OF(This, stream));
}

static ULONG bytesAvailable(const CObject* object, ULONGLONG wanted) {
    const ULONGLONG left = object->position < object->size ? object->size - object->position : 0;
    return (ULONG)(wanted < left ? wanted : left);
}

static HRESULT STDMETHODCALLTYPE streamRead(IStream* This, void* pv, ULONG cb, ULONG* pcbRead) {
    CObject* object = OBJECT_OF(This, stream);
    const ULONG count = bytesAvailable(object, cb);
    if (pv == NULL && count > 0)
        return STG_E_INVALIDPOINTER;
    if (count > 0)
        memcpy(pv, object->data + object->position, count);
    object->position += count;
    if (pcbRead)
        *pcbRead = count;
    return S_OK;
}

static HRESULT resize(CObject* object, ULONGLONG size) {
    if (size > 0x10000000u)
        return E_OUTOFMEMORY;
    BYTE* data = (BYTE*)CoTaskMemRealloc(object->data, (SIZE_T)size);
    if (data == NULL)
        return E_OUTOFMEMORY;
    if (size > object->size)
        memset(data + object->size, 0, (size_t)(size - object->size));
    object->data = data;
    object->size = size;
    return S_OK;
}

static HRESULT STDMETHODCALLTYPE streamWrite(IStream* This, const void* pv, ULONG cb,
                                             ULONG* pcbWritten) {
    CObject* object = OBJECT_OF(This, stream);
    if (pv == NULL && cb > 0)
        return STG_E_INVALIDPOINTER;
    if (object->position + cb > object->size) {
        const HRESULT hr = resize(object, object->position + cb);
        if (FAILED(hr))
            return hr;
    }
    if (cb > 0)
        memcpy(object->data + object->position, pv, cb);
    object->position += cb;
    if (pcbWritten)
        *pcbWritten = cb;
    return S_OK;
}

static HRESULT STDMETHODCALLTYPE streamSeek(IStream* This, LARGE_INTEGER dlibMove, DWORD dwOrigin,
                                            ULARGE_INTEGER* plibNewPosition) {
    CObject* object = OBJECT_OF(This, stream);
    LONGLONG base;
    switch (dwOrigin) {
    case STREAM_SEEK_SET:
        base = 0;
        break;
    case STREAM_SEEK_CUR:
        base = (LONGLONG)object->position;
        break;
    case STREAM_SEEK_END:
        base = (LONGLONG)object->size;
        break;
    default:
        return STG_E_INVALIDFUNCTION;
    }
    if (dlibMove.QuadPart < -base)
        return STG_E_INVALIDFUNCTION;
    object->position = (ULONGLONG)(base + dlibMove.QuadPart);
    if (plibNewPosition)
        plibNewPosition->QuadPart = object->position;
    return S_OK;
}

static HRESULT STDMETHODCALLTYPE streamSetSize(IStream* This, ULARGE_INTEGER libNewSize) {
    return resize(OBJECT_OF(This, stream), libNewSize.QuadPart);
}

static HRESULT STDMETHODCALLTYPE streamCopyTo(IStream* This, IStream* pstm, ULARGE_INTEGER cb,
                                              ULARGE_INTEGER* pcbRead, ULARGE_INTEGER* pcbWritten) {
    CObject* object = OBJECT_OF(This, stream);
    if (pstm == NULL)
        return STG_E_INVALIDPOINTER;
    const ULONG count = bytesAvailable(object, cb.QuadPart);
    ULONG written = 0;
    const HRESULT hr = pstm->lpVtbl->Write(pstm, object->data + object->position, count, &written);
    object->position += count;
    if (pcbRead)
        pcbRead->QuadPart = count;
    if (pcbWritten)
        pcbWritten->QuadPart = written;
    return hr;
}

static HRESULT STDMETHODCALLTYPE streamCommit(IStream* This, DWORD flags) {
    (void)This;
    (void)flags;
    return S_OK;
}

static HRESULT STDMETHODCALLTYPE streamRevert(IStream* This) {
    (void)This;
    return E_NOTIMPL;
}

static HRESULT STDMETHODCALLTYPE streamRegion(IStream* This, ULARGE_INTEGER offset,
                                              ULARGE_INTEGER cb, DWORD lockType) {
    (void)This;
    (void)offset;
    (void)cb;
    (void)lockType;
    return STG_E_INVALIDFUNCTION;
}

static HRESULT STDMETHODCALLTYPE streamStat(IStream* This, STATSTG* pstatstg, DWORD grfStatFlag) {
    static const WCHAR name[] = u"ccomponent";
    CObject* object = OBJECT_OF(This, stream);
    if (pstatstg == NULL)
        return STG_E_INVALIDPOINTER;
    memset(pstatstg, 0, sizeof *pstatstg);
    pstatstg->type = 2; /* a stream */
    pstatstg->cbSize.QuadPart = object->size;
    pstatstg->clsid = CLSID_DorvoCTestComponent;
    if (grfStatFlag == 0) { /* the caller wants the name and frees it */
        pstatstg->pwcsName = (LPOLESTR)CoTaskMemAlloc(sizeof name);
        if (pstatstg->pwcsName == NULL)
            return E_OUTOFMEMORY;
        memcpy(pstatstg->pwcsName, name, sizeof name);
    }
    return S_OK;
}

static HRESULT STDMETHODCALLTYPE streamClone(IStream* This, IStream** ppstm) {
    (void)This;
    if (ppstm)
        *ppstm = NULL;
    return E_NOTIMPL;
}

static const IStreamVtbl g_streamVtbl = {
    streamQueryInterface, streamAddRef,  streamRelease, streamRead,   streamWrite,
    streamSeek,           streamSetSize, streamCopyTo,  streamCommit, streamRevert,
    streamRegion,         streamRegion,  streamStat,    streamClone,
};

/* ---- IMPInitialise ------------------------------------------------------------------------- */

static HRESULT STDMETHODCALLTYPE initialiseQueryInterface(IMPInitialise* This, REFIID riid,
                                                          void** ppv) {
    return objectQueryInterface(OBJECT_OF(This, initialise), riid, ppv);
}
static ULONG STDMETHODCALLTYPE initialiseAddRef(IMPInitialise* This) {
    return objectAddRef(OBJECT_OF(This, initialise));
}
static ULONG STDMETHODCALLTYPE initialiseRelease(IMPInitialise* This) {
    return objectRelease(OBJECT_OF(This, initialise));
}

static HRESULT STDMETHODCALLTYPE initialiseConnect(IMPInitialise* This, IUnknown* host,
                                                   IMPAsyncOutput* output, DWORD a3, DWORD a4,
                                                   DWORD* flags) {
    CObject* object = OBJECT_OF(This, initialise);
    IMPTimeInfo* timeInfo = NULL;
    if (host == NULL || flags == NULL)
        return E_POINTER;
    HRESULT hr = host->lpVtbl->QueryInterface(host, &IID_IMPTimeInfo, (void**)&timeInfo);
    if (FAILED(hr))
        return hr;
    object->conversionResult =
        timeInfo->lpVtbl->CheckConversion(timeInfo, CTEST_TIME, 2, a3, a4, 0, CTEST_LAST_WORD);
    hr = timeInfo->lpVtbl->GetTimeValue(timeInfo, 2, &object->timeValue);
    timeInfo->lpVtbl->Release(timeInfo);
    if (FAILED(hr))
        return hr;
    if (output)
        output->lpVtbl->AddRef(output);
    if (object->output)
        object->output->lpVtbl->Release(object->output);
    object->output = output;
    *flags &= MPCONNECT_LIVEINPUT;
    return S_OK;
}

static HRESULT STDMETHODCALLTYPE initialiseDisconnect(IMPInitialise* This) {
    CObject* object = OBJECT_OF(This, initialise);
    if (object->output)
        object->output->lpVtbl->Release(object->output);
    object->output = NULL;
    return S_OK;
}

static const IMPInitialiseVtbl g_initialiseVtbl = {
    initialiseQueryInterface, initialiseAddRef,     initialiseRelease,
    initialiseConnect,        initialiseDisconnect,
};

/* ---- IMPEventFilter ------------------------------------------------------------------------ */

static HRESULT STDMETHODCALLTYPE filterQueryInterface(IMPEventFilter* This, REFIID riid,
                                                      void** ppv) {
    return objectQueryInterface(OBJECT_OF(This, filter), riid, ppv);
}
static ULONG STDMETHODCALLTYPE filterAddRef(IMPEventFilter* This) {
    return objectAddRef(OBJECT_OF(This, filter));
}
static ULONG STDMETHODCALLTYPE filterRelease(IMPEventFilter* This) {
    return objectRelease(OBJECT_OF(This, filter));
}

static HRESULT STDMETHODCALLTYPE filterEvents(IMPEventFilter* This, IMPEventQueue* queue,
                                              const MPFILTERINFO* info) {
    CObject* object = OBJECT_OF(This, filter);
    BOOL found = FALSE;
    BOOL more = FALSE;
    MPEVENT event;
    if (queue == NULL || info == NULL || object->output == NULL)
        return E_POINTER;
    if ((info->flags & MPFILTER_LIVEINPUT) == 0)
        return S_OK;
    HRESULT hr = queue->lpVtbl->GetFirstEvent(queue, &found, &event, &more, MPEVENT_MASK_ALL);
    if (FAILED(hr) || !found)
        return hr;
    event.channel = (event.channel + 1) & 15;
    event.selector = (DWORD)info->firstSequence;
    hr = object->output->lpVtbl->SendEvent(object->output, &event, 1);
    if (event.type & MPEVENT_MASK_LONG)
        CoTaskMemFree(event.longData);
    return hr;
}

static HRESULT STDMETHODCALLTYPE filterGetInfo(IMPEventFilter* This, DWORD* a, DWORD* b, DWORD* c) {
    CObject* object = OBJECT_OF(This, filter);
    if (a == NULL || b == NULL || c == NULL)
        return E_POINTER;
    *a = object->timeValue;
    *b = (DWORD)object->conversionResult;
    *c = CTEST_FILTER_WORD;
    return S_OK;
}

static HRESULT STDMETHODCALLTYPE filterSlot5(IMPEventFilter* This, DWORD a) {
    (void)This;
    (void)a;
    return S_OK;
}

static const IMPEventFilterVtbl g_filterVtbl = {
    filterQueryInterface, filterAddRef, filterRelease, filterEvents, filterGetInfo, filterSlot5,
};

/* ---- Class factory --------------------------------------------------------------------------- */

static HRESULT STDMETHODCALLTYPE factoryQueryInterface(IClassFactory* This, REFIID riid,
                                                       void** ppv) {
    if (ppv == NULL)
        return E_POINTER;
    if (!IsEqualIID(riid, &IID_IUnknown) && !IsEqualIID(riid, &IID_IClassFactory)) {
        *ppv = NULL;
        return E_NOINTERFACE;
    }
    *ppv = This;
    return S_OK;
}

/* The factory is static and not counted. */
static ULONG STDMETHODCALLTYPE factoryAddRef(IClassFactory* This) {
    (void)This;
    return 2;
}
static ULONG STDMETHODCALLTYPE factoryRelease(IClassFactory* This) {
    (void)This;
    return 1;
}

static HRESULT STDMETHODCALLTYPE factoryCreateInstance(IClassFactory* This, IUnknown* outer,
                                                       REFIID riid, void** ppv) {
    (void)This;
    if (ppv == NULL)
        return E_POINTER;
    *ppv = NULL;
    if (outer != NULL)
        return CLASS_E_NOAGGREGATION;
    CObject* object = (CObject*)CoTaskMemAlloc(sizeof(CObject));
    if (object == NULL)
        return E_OUTOFMEMORY;
    memset(object, 0, sizeof *object);
    object->stream.lpVtbl = &g_streamVtbl;
    object->initialise.lpVtbl = &g_initialiseVtbl;
    object->filter.lpVtbl = &g_filterVtbl;
    object->refs = 1;
    __atomic_add_fetch(&g_objects, 1, __ATOMIC_SEQ_CST);
    const HRESULT hr = objectQueryInterface(object, riid, ppv);
    objectRelease(object);
    return hr;
}

static HRESULT STDMETHODCALLTYPE factoryLockServer(IClassFactory* This, BOOL lock) {
    (void)This;
    if (lock)
        __atomic_add_fetch(&g_locks, 1, __ATOMIC_SEQ_CST);
    else
        __atomic_sub_fetch(&g_locks, 1, __ATOMIC_SEQ_CST);
    return S_OK;
}

static const IClassFactoryVtbl g_factoryVtbl = {
    factoryQueryInterface, factoryAddRef, factoryRelease, factoryCreateInstance, factoryLockServer,
};
static IClassFactory g_factory = {&g_factoryVtbl};

/* ---- Exports --------------------------------------------------------------------------------- */

/* "CLSID\{...}" followed by suffix, in a buffer of at least 80 characters. */
static HRESULT classKeyName(const WCHAR* suffix, WCHAR* name) {
    static const WCHAR prefix[] = u"CLSID\\";
    const size_t prefixLength = sizeof prefix / sizeof prefix[0] - 1;
    size_t length = prefixLength + 38;
    memcpy(name, prefix, prefixLength * sizeof(WCHAR));
    if (StringFromGUID2(&CLSID_DorvoCTestComponent, name + prefixLength, 39) != 39)
        return E_FAIL;
    while (*suffix)
        name[length++] = *suffix++;
    name[length] = 0;
    return S_OK;
}

static size_t textBytes(const WCHAR* text) {
    size_t length = 0;
    while (text[length])
        ++length;
    return (length + 1) * sizeof(WCHAR);
}

static HRESULT writeKey(const WCHAR* suffix, const WCHAR* text, const WCHAR* threadingModel) {
    WCHAR name[80];
    HKEY key = NULL;
    LONG error;
    if (FAILED(classKeyName(suffix, name)))
        return E_FAIL;
    if (RegCreateKeyExW(HKEY_CLASSES_ROOT, name, 0, NULL, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                        NULL, &key, NULL) != ERROR_SUCCESS)
        return E_FAIL;
    error = RegSetValueExW(key, NULL, 0, REG_SZ, (const BYTE*)text, (DWORD)textBytes(text));
    if (error == ERROR_SUCCESS && threadingModel)
        error = RegSetValueExW(key, u"ThreadingModel", 0, REG_SZ, (const BYTE*)threadingModel,
                               (DWORD)textBytes(threadingModel));
    RegCloseKey(key);
    return error == ERROR_SUCCESS ? S_OK : E_FAIL;
}

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv) {
    if (ppv == NULL)
        return E_POINTER;
    *ppv = NULL;
    if (!IsEqualCLSID(rclsid, &CLSID_DorvoCTestComponent))
        return CLASS_E_CLASSNOTAVAILABLE;
    return factoryQueryInterface(&g_factory, riid, ppv);
}

STDAPI DllCanUnloadNow(void) {
    return __atomic_load_n(&g_objects, __ATOMIC_SEQ_CST) == 0 &&
                   __atomic_load_n(&g_locks, __ATOMIC_SEQ_CST) == 0
               ? S_OK
               : S_FALSE;
}

STDAPI DllRegisterServer(void) {
    WCHAR path[260];
    if (DorvoGetModuleFileName(&g_moduleAnchor, path, 260) == 0)
        return SELFREG_E_CLASS;
    if (FAILED(writeKey(u"", u"Dorvo C test component", NULL)) ||
        FAILED(writeKey(u"\\InprocServer32", path, u"Both")))
        return SELFREG_E_CLASS;
    return S_OK;
}

STDAPI DllUnregisterServer(void) {
    WCHAR name[80];
    if (FAILED(classKeyName(u"\\InprocServer32", name)) ||
        RegDeleteKeyW(HKEY_CLASSES_ROOT, name) != ERROR_SUCCESS ||
        FAILED(classKeyName(u"", name)) || RegDeleteKeyW(HKEY_CLASSES_ROOT, name) != ERROR_SUCCESS)
        return SELFREG_E_CLASS;
    return S_OK;
}
