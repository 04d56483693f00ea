/* The interface set between the Dorvo host and its editor components: the records, the
 * interfaces in slot order, their identifiers and the result codes of their own.
 *
 * Identifier values below are fixed for good: components built against any version of this
 * header rely on them. Compiles as C and as C++. */
#ifndef DORVO_DORVO2_H
#define DORVO_DORVO2_H

#include <dorvo/objbase.h>

/* The interface declarations are macro tables that the formatter misreads: this header keeps
 * the layout it was written in. */
/* clang-format off */

/* ---- Identifiers ------------------------------------------------------------------------------- */

DORVO_DEFINE_GUID(IID_IMPClientServices, 0x7049983D, 0x86EC, 0x488A, 0xBF, 0x5D, 0x33, 0x01, 0x5B,
                  0x4A, 0x1E, 0xD8);
DORVO_DEFINE_GUID(IID_IMPClientServices2, 0xF2CC89EA, 0xFA5C, 0x43B7, 0x91, 0x43, 0xB1, 0x76, 0x9D,
                  0xB2, 0x37, 0x0D);
DORVO_DEFINE_GUID(IID_IMPEventQueue, 0xA4F04A6C, 0x0C7F, 0x4DD0, 0xBD, 0x53, 0xD7, 0x4F, 0xC7, 0x07,
                  0x7A, 0xB8);
DORVO_DEFINE_GUID(IID_IMPAsyncOutput, 0x60B108DC, 0x5E68, 0x4A18, 0x91, 0x54, 0x82, 0x38, 0x39, 0x4B,
                  0x4B, 0xA5);
DORVO_DEFINE_GUID(IID_IMPTimeInfo, 0x24FB9CB6, 0xEC76, 0x49C0, 0xA8, 0xA2, 0xAC, 0xA9, 0xCB, 0x0C,
                  0x88, 0xF6);
DORVO_DEFINE_GUID(IID_IMPQTBasedHost, 0xE111411C, 0x08D1, 0x453F, 0xA5, 0x23, 0x27, 0x45, 0x9B, 0x39,
                  0x60, 0x88);
DORVO_DEFINE_GUID(IID_IMPClientInfo, 0x415DF54C, 0x6694, 0x4CB9, 0xB2, 0x2B, 0xAE, 0x1B, 0x22, 0x16,
                  0xB9, 0xDA);
DORVO_DEFINE_GUID(IID_IMPInitialise, 0x6ED7F08D, 0x4F2B, 0x45D8, 0xB9, 0xD4, 0x91, 0x18, 0x7F, 0x48,
                  0x1A, 0xAE);
DORVO_DEFINE_GUID(IID_IMPNotificationSink, 0x0A694893, 0x7ED6, 0x443B, 0xBC, 0x21, 0x34, 0x20, 0x2B,
                  0xA1, 0x05, 0xFA);
DORVO_DEFINE_GUID(IID_IMPEventFilter, 0xD430B45C, 0x3803, 0x4A06, 0x88, 0x2E, 0xFF, 0x89, 0xC1, 0x6E,
                  0x3D, 0x0E);
DORVO_DEFINE_GUID(IID_IMPDeviceSync, 0x5231EFD3, 0x6DE0, 0x4700, 0xA8, 0x25, 0xCA, 0x3C, 0xB0, 0xF3,
                  0x09, 0xBB);
DORVO_DEFINE_GUID(IID_IMPDeviceSync2, 0x63077C52, 0xEF81, 0x4495, 0xA8, 0x8F, 0xF2, 0xBF, 0xDB, 0x10,
                  0x90, 0xE8);
DORVO_DEFINE_GUID(IID_IDorvo2Comp, 0x495F6743, 0x46BA, 0x4A74, 0x9F, 0x50, 0xED, 0x8E, 0xD9, 0x06,
                  0xD4, 0x03);
/* The outer application's page-hosting interface (component build). */
DORVO_DEFINE_GUID(IID_IMPPageHost, 0xF184BCD2, 0x9E88, 0x428B, 0xBB, 0x43, 0x55, 0xC2, 0xA6, 0x06,
                  0x2F, 0xE8);
/* The host's second connection point; nothing is ever sent on it. */
DORVO_DEFINE_GUID(IID_IMPSecondarySink, 0xCC9EF150, 0x8DEA, 0x4AA6, 0x85, 0x26, 0x1C, 0x87, 0x35,
                  0x0D, 0xB1, 0x53);
/* Names the notification that the machine's MIDI port list has changed. */
DORVO_DEFINE_GUID(GUID_MPPortListChanged, 0x88B8D712, 0x9545, 0x4911, 0x99, 0x01, 0x9B, 0x54, 0xB6,
                  0xBE, 0x57, 0x1E);

/* ---- Result codes of the interface set ---------------------------------------------------------- */

/* IMPTimeInfo: the time format is not supported. */
#define MP_E_TIMEFORMAT DORVO_HR(0x80041100)
/* IMPDeviceSync::Synchronize: the user or the host cancelled. */
#define MP_SYNC_CANCELLED ((HRESULT)ERROR_CANCELLED)

/* ---- Records ----------------------------------------------------------------------------------- */

/* MPEVENT.type: one bit per kind. */
#define MPEVENT_NONE 0x1u
#define MPEVENT_NRPN 0x2u
#define MPEVENT_RPN 0x4u
#define MPEVENT_BANKPROGRAM 0x8u
#define MPEVENT_NOTEOFF 0x20u
#define MPEVENT_NOTEON 0x40u
#define MPEVENT_POLYPRESSURE 0x80u
#define MPEVENT_CONTROLCHANGE 0x100u
#define MPEVENT_PROGRAMCHANGE 0x200u
#define MPEVENT_CHANNELPRESSURE 0x400u
#define MPEVENT_PITCHBEND 0x800u
#define MPEVENT_SYSEX 0x10000u
#define MPEVENT_SYSEXCONTINUATION 0x20000u
#define MPEVENT_MASK_SHORT 0xFFFu
#define MPEVENT_MASK_LONG 0x3F0000u
#define MPEVENT_MASK_ALL 0x3F0FFFu

/* One MIDI event. Short kinds keep their bytes in data[0..3]; long kinds (system exclusive)
 * point at dataLength bytes with longData: the bytes after the leading 0xF0, the closing 0xF7
 * included. Fields marked reserved are copied unchanged and never read by the host. */
#if UINTPTR_MAX == UINT32_MAX
typedef struct MPEVENT {
    DWORD type;         /*  0 */
    DWORD reserved0;    /*  4 */
    DWORD reserved1;    /*  8 */
    DWORD port;         /* 12: 1-based port number */
    DWORD channel;      /* 16: 0-15; 0 for system exclusive */
    DWORD selector;     /* 20: matched by event-queue selectors; never set by the host */
    ULONGLONG sequence; /* 24: program-wide receive counter */
    DWORD received;     /* 32: 1 on receipt */
    DWORD reserved2;    /* 36 */
    DWORD dataLength;   /* 40: long kinds: bytes at longData; 0 for short kinds */
    union {             /* 44 */
        BYTE data[4];
        BYTE* longData;
    };
    BYTE reserved3[16]; /* 48 */
} MPEVENT;
#else
typedef struct MPEVENT {
    DWORD type;         /*  0 */
    DWORD reserved0;    /*  4 */
    DWORD reserved1;    /*  8 */
    DWORD reserved2;    /* 12 */
    DWORD port;         /* 16: 1-based port number */
    DWORD channel;      /* 20: 0-15; 0 for system exclusive */
    BYTE reserved3[8];  /* 24 */
    DWORD selector;     /* 32: matched by event-queue selectors; never set by the host */
    DWORD reserved4;    /* 36 */
    ULONGLONG sequence; /* 40: program-wide receive counter */
    DWORD received;     /* 48: 1 on receipt */
    DWORD reserved5;    /* 52 */
    DWORD dataLength;   /* 56: long kinds: bytes at longData; 0 for short kinds */
    DWORD reserved6;    /* 60 */
    union {             /* 64 */
        BYTE data[8];
        BYTE* longData;
    };
    BYTE reserved7[8]; /* 72 */
} MPEVENT;
#endif

/* One MIDI port of the Workspace. name is task-allocated; the receiver frees it. */
typedef struct MPPORTINFO {
    DWORD port;   /* 1-based port number; 0 = none */
    GUID portId;  /* identity that stays with the device across runs */
    LPWSTR name;
} MPPORTINFO;

/* A task-allocated array of count entries; the receiver frees every name, then the array. */
typedef struct MPPORTLIST {
    DWORD count;
    MPPORTINFO* ports;
} MPPORTLIST;

typedef struct MPSELECTORLIST {
    DWORD count;
    DWORD* values;
} MPSELECTORLIST;

/* MPFILTERINFO.flags: the batch is live MIDI input. */
#define MPFILTER_LIVEINPUT 64u

typedef struct MPFILTERINFO {
    ULONGLONG firstSequence; /* sequence of the first event in the queue */
    ULONGLONG endSequence;   /* one past the last */
    DWORD count;             /* the host passes 1 */
    DWORD reserved0;         /* the host passes 0 */
    DWORD flags;             /* the host passes MPFILTER_LIVEINPUT */
    DWORD reserved1;
} MPFILTERINFO;

typedef struct MPNOTIFICATION {
    GUID id; /* what happened, e.g. GUID_MPPortListChanged */
    BYTE reserved[56];
} MPNOTIFICATION;

/* MPConnect flags offered by the host. */
#define MPCONNECT_LIVEINPUT 64u

/* SetPortUsage operations. */
#define MPPORTUSAGE_REMOVE 0u
#define MPPORTUSAGE_ADD 1u
#define MPPORTUSAGE_RENAME 2u
#define MPPORTUSAGE_REIDENTIFY 3u

/* IMPQTBasedHost::MatchApplication: the identity of the host's application object, made of the
 * major and minor version of the GUI toolkit that the host runs on. A component built against
 * the same toolkit version passes DORVO_QT_APPLICATION_ID(QT_VERSION_MAJOR, QT_VERSION_MINOR)
 * and may then share the host's application object. */
#define DORVO_QT_APPLICATION_ID(major, minor) ((WORD)(((major) << 8) | (minor)))

#ifdef __cplusplus
static_assert(sizeof(MPEVENT) == (sizeof(void*) == 4 ? 64 : 80), "MPEVENT size");
static_assert(offsetof(MPEVENT, type) == 0, "MPEVENT.type");
static_assert(offsetof(MPEVENT, port) == (sizeof(void*) == 4 ? 12 : 16), "MPEVENT.port");
static_assert(offsetof(MPEVENT, channel) == (sizeof(void*) == 4 ? 16 : 20), "MPEVENT.channel");
static_assert(offsetof(MPEVENT, selector) == (sizeof(void*) == 4 ? 20 : 32), "MPEVENT.selector");
static_assert(offsetof(MPEVENT, sequence) == (sizeof(void*) == 4 ? 24 : 40), "MPEVENT.sequence");
static_assert(offsetof(MPEVENT, received) == (sizeof(void*) == 4 ? 32 : 48), "MPEVENT.received");
static_assert(offsetof(MPEVENT, dataLength) == (sizeof(void*) == 4 ? 40 : 56), "MPEVENT.dataLength");
static_assert(offsetof(MPEVENT, data) == (sizeof(void*) == 4 ? 44 : 64), "MPEVENT.data");
static_assert(offsetof(MPEVENT, longData) == offsetof(MPEVENT, data), "MPEVENT.longData");
static_assert(sizeof(MPPORTINFO) == (sizeof(void*) == 4 ? 24 : 32), "MPPORTINFO size");
static_assert(offsetof(MPPORTINFO, portId) == 4, "MPPORTINFO.portId");
static_assert(offsetof(MPPORTINFO, name) == (sizeof(void*) == 4 ? 20 : 24), "MPPORTINFO.name");
static_assert(sizeof(MPPORTLIST) == 2 * sizeof(void*), "MPPORTLIST size");
static_assert(sizeof(MPSELECTORLIST) == 2 * sizeof(void*), "MPSELECTORLIST size");
static_assert(sizeof(MPFILTERINFO) == 32, "MPFILTERINFO size");
static_assert(offsetof(MPFILTERINFO, count) == 16, "MPFILTERINFO.count");
static_assert(offsetof(MPFILTERINFO, flags) == 24, "MPFILTERINFO.flags");
static_assert(sizeof(MPNOTIFICATION) == 72, "MPNOTIFICATION size");
static_assert(sizeof(GUID) == 16, "GUID size");
#else
_Static_assert(sizeof(MPEVENT) == (sizeof(void*) == 4 ? 64 : 80), "MPEVENT size");
_Static_assert(offsetof(MPEVENT, port) == (sizeof(void*) == 4 ? 12 : 16), "MPEVENT.port");
_Static_assert(offsetof(MPEVENT, sequence) == (sizeof(void*) == 4 ? 24 : 40), "MPEVENT.sequence");
_Static_assert(offsetof(MPEVENT, data) == (sizeof(void*) == 4 ? 44 : 64), "MPEVENT.data");
_Static_assert(sizeof(MPPORTINFO) == (sizeof(void*) == 4 ? 24 : 32), "MPPORTINFO size");
_Static_assert(sizeof(MPFILTERINFO) == 32, "MPFILTERINFO size");
_Static_assert(sizeof(MPNOTIFICATION) == 72, "MPNOTIFICATION size");
#endif

/* ---- Interfaces implemented by the host --------------------------------------------------------- */

#undef INTERFACE
#define INTERFACE IMPAsyncOutput
DECLARE_INTERFACE_(IMPAsyncOutput, IUnknown) {
    DORVO_INHERITED(DORVO_IUNKNOWN_METHODS)
    /* Any thread: sends the event to its port when bit 0 of flags is set; E_FAIL when the port
     * is not open for output. */
    STDMETHOD(SendEvent)(THIS_ const MPEVENT* event, DWORD flags) PURE;
};

#define DORVO_IMPCLIENTSERVICES_METHODS                                                            \
    /* Any thread: a copy of the Workspace's ports; direction 0 inputs, else outputs. */           \
    STDMETHOD(GetPortList)(THIS_ DWORD direction, MPPORTLIST * list) PURE;                         \
    /* Not used: E_NOTIMPL. */                                                                     \
    STDMETHOD(ServicesSlot4)(THIS_ DWORD a, DWORD b, DWORD c) PURE;                                \
    /* Not used: E_NOTIMPL. */                                                                     \
    STDMETHOD(ServicesSlot5)(THIS_ DWORD a) PURE;                                                  \
    /* Not used: E_NOTIMPL. */                                                                     \
    STDMETHOD(ServicesSlot6)(THIS_ DWORD a) PURE;                                                  \
    /* Any thread: records (MPPORTUSAGE_*) which port the component uses under which name. */      \
    STDMETHOD(SetPortUsage)(THIS_ DWORD operation, const GUID* portId, LPCWSTR name,               \
                            ULONG_PTR ignored, IUnknown* component, DWORD index) PURE;

#undef INTERFACE
#define INTERFACE IMPClientServices
DECLARE_INTERFACE_(IMPClientServices, IUnknown) {
    DORVO_INHERITED(DORVO_IUNKNOWN_METHODS)
    DORVO_IMPCLIENTSERVICES_METHODS
};

#undef INTERFACE
#define INTERFACE IMPClientServices2
DECLARE_INTERFACE_(IMPClientServices2, IMPClientServices) {
    DORVO_INHERITED(DORVO_IUNKNOWN_METHODS)
    DORVO_INHERITED(DORVO_IMPCLIENTSERVICES_METHODS)
};

#undef INTERFACE
#define INTERFACE IMPEventQueue
DECLARE_INTERFACE_(IMPEventQueue, IUnknown) {
    DORVO_INHERITED(DORVO_IUNKNOWN_METHODS)
    /* MIDI receive thread, inside FilterEvents: replaces the port and selector lists. */
    STDMETHOD(SetSelectors)(THIS_ const MPSELECTORLIST* ports, const MPSELECTORLIST* selectors)
        PURE;
    /* MIDI receive thread, inside FilterEvents: the queue's event when it matches typeMask; a
     * long event's bytes are the caller's own task-allocated copy. */
    STDMETHOD(GetFirstEvent)(THIS_ BOOL * found, MPEVENT * event, BOOL * more, DWORD typeMask) PURE;
    /* MIDI receive thread: the queue holds one event, so there is never a next one. */
    STDMETHOD(GetNextEvent)(THIS_ BOOL * found, MPEVENT * event, BOOL * more, DWORD typeMask) PURE;
    /* MIDI receive thread: as GetNextEvent. */
    STDMETHOD(GetNextEvent2)(THIS_ BOOL * found, MPEVENT * event, BOOL * more, DWORD typeMask)
        PURE;
    /* MIDI receive thread. */
    STDMETHOD(PeekEvent)(THIS_ DWORD value, MPEVENT * event, DWORD typeMask) PURE;
    /* MIDI receive thread: with count 1 the event becomes the queue's event. */
    STDMETHOD(PutEvents)(THIS_ DWORD count, const MPEVENT* events) PURE;
    /* Not used: E_FAIL. */
    STDMETHOD(QueueSlot9)(THIS_ DWORD a, DWORD b) PURE;
    /* Not used: E_FAIL. */
    STDMETHOD(QueueSlot10)(THIS_ DWORD a) PURE;
};

#undef INTERFACE
#define INTERFACE IMPTimeInfo
DECLARE_INTERFACE_(IMPTimeInfo, IUnknown) {
    DORVO_INHERITED(DORVO_IUNKNOWN_METHODS)
    /* Any thread: S_OK when sourceFormat equals targetFormat or converts 1, 2 or 3 to 0;
     * else MP_E_TIMEFORMAT. */
    STDMETHOD(CheckConversion)(THIS_ LONGLONG time, DWORD sourceFormat, DWORD a3, DWORD a4,
                               DWORD targetFormat, DWORD a6) PURE;
    /* Not used by the host: E_NOTIMPL. */
    STDMETHOD(TimeInfoSlot4)(THIS_ LONGLONG time, DWORD a2, DWORD a3, DWORD a4, DWORD a5,
                             DWORD a6) PURE;
    /* Not used by the host: E_NOTIMPL. */
    STDMETHOD(TimeInfoSlot5)(THIS_ DWORD a1, DWORD a2, DWORD a3, DWORD a4, DWORD a5, DWORD a6)
        PURE;
    /* Any thread: which 1 gives 1, which 2 gives 960 (ticks per quarter note). */
    STDMETHOD(GetTimeValue)(THIS_ DWORD which, DWORD * value) PURE;
};

#undef INTERFACE
#define INTERFACE IMPQTBasedHost
DECLARE_INTERFACE_(IMPQTBasedHost, IUnknown) {
    DORVO_INHERITED(DORVO_IUNKNOWN_METHODS)
    /* GUI thread: writes 1, the host runs on the GUI toolkit. */
    STDMETHOD(IsQtHost)(THIS_ DWORD * isQtHost) PURE;
    /* GUI thread: S_OK when value is the host's DORVO_QT_APPLICATION_ID, else E_FAIL. */
    STDMETHOD(MatchApplication)(THIS_ WORD value) PURE;
};

/* Not an IUnknown: a table of exactly two functions, without reference counting. */
#undef INTERFACE
#define INTERFACE IMPClientProgressHandler
DECLARE_INTERFACE(IMPClientProgressHandler) {
    /* Synchronization worker: shows the message and progress of total on the component's line. */
    STDMETHOD(ReportProgress)(THIS_ DWORD ignored, DWORD progress, DWORD total, LPCWSTR message)
        PURE;
    /* Synchronization worker: records result and asks the component to cancel. */
    STDMETHOD(AbortProgress)(THIS_ DWORD ignored, HRESULT result) PURE;
};

/* Implemented by the outer application of the component build; forwarded, never called by the
 * stand-alone host. */
#undef INTERFACE
#define INTERFACE IMPClientInfo
DECLARE_INTERFACE_(IMPClientInfo, IUnknown) {
    DORVO_INHERITED(DORVO_IUNKNOWN_METHODS)
    /* Any thread, for all four. */
    STDMETHOD(ClientInfoSlot3)(THIS_ ULONG_PTR a, ULONG_PTR b, ULONG_PTR c, ULONG_PTR d) PURE;
    STDMETHOD(ClientInfoSlot4)(THIS_ ULONG_PTR a, ULONG_PTR b, ULONG_PTR c, ULONG_PTR d) PURE;
    STDMETHOD(ClientInfoSlot5)(THIS_ ULONG_PTR a, ULONG_PTR b, ULONG_PTR c, ULONG_PTR d) PURE;
    STDMETHOD(ClientInfoSlot6)(THIS_ ULONG_PTR a, ULONG_PTR b, ULONG_PTR c, ULONG_PTR d) PURE;
};

/* ---- Interfaces implemented by components ------------------------------------------------------- */

#undef INTERFACE
#define INTERFACE IMPInitialise
DECLARE_INTERFACE_(IMPInitialise, IUnknown) {
    DORVO_INHERITED(DORVO_IUNKNOWN_METHODS)
    /* GUI thread: connects to the host object; answer in *flags the offered bits supported
     * (the host offers MPCONNECT_LIVEINPUT) and advise the notification sink here. */
    STDMETHOD(MPConnect)(THIS_ IUnknown * host, IMPAsyncOutput * output, DWORD a3, DWORD a4,
                         DWORD * flags) PURE;
    /* GUI thread: once, before the host releases the component; unadvise and drop host
     * pointers. */
    STDMETHOD(MPDisconnect)(THIS) PURE;
};

#undef INTERFACE
#define INTERFACE IMPNotificationSink
DECLARE_INTERFACE_(IMPNotificationSink, IUnknown) {
    DORVO_INHERITED(DORVO_IUNKNOWN_METHODS)
    /* GUI thread: result ignored. */
    STDMETHOD(OnNotify)(THIS_ const MPNOTIFICATION* notification) PURE;
};

#undef INTERFACE
#define INTERFACE IMPEventFilter
DECLARE_INTERFACE_(IMPEventFilter, IUnknown) {
    DORVO_INHERITED(DORVO_IUNKNOWN_METHODS)
    /* MIDI receive thread: once per received event; read it from the queue. Result ignored. */
    STDMETHOD(FilterEvents)(THIS_ IMPEventQueue * queue, const MPFILTERINFO* info) PURE;
    /* Not called by the stand-alone host; the component build's caller's thread. */
    STDMETHOD(GetFilterInfo)(THIS_ DWORD * a, DWORD * b, DWORD * c) PURE;
    /* Not called by the host. */
    STDMETHOD(FilterSlot5)(THIS_ DWORD a) PURE;
};

#define DORVO_IMPDEVICESYNC_METHODS                                                                \
    /* Synchronization worker: blocks until done; 0 done, MP_SYNC_CANCELLED, else failed. */       \
    STDMETHOD(Synchronize)(THIS_ DWORD direction, IMPClientProgressHandler * progress,             \
                           DWORD recallMask) PURE;                                                 \
    /* GUI thread: a task-allocated text for a result code the component returned. */              \
    STDMETHOD(GetStatusText)(THIS_ HRESULT result, LPWSTR * text) PURE;                            \
    /* GUI thread: asks a running Synchronize to stop soon. */                                     \
    STDMETHOD(CancelSynchronize)(THIS) PURE;                                                       \
    /* GUI thread: task-allocated icon texts (null allowed) for Recall off and on. */              \
    STDMETHOD(GetIconURLs)(THIS_ LPWSTR * recallDisabledIcon, LPWSTR * recallEnabledIcon) PURE;    \
    /* GUI thread: each out-pointer may be null. */                                                \
    STDMETHOD(GetRecallInfo)(THIS_ DWORD * selectionMode, LPWSTR * itemNames, DWORD * group,       \
                             BOOL * offline, DWORD * defaultMask) PURE;

#undef INTERFACE
#define INTERFACE IMPDeviceSync
DECLARE_INTERFACE_(IMPDeviceSync, IUnknown) {
    DORVO_INHERITED(DORVO_IUNKNOWN_METHODS)
    DORVO_IMPDEVICESYNC_METHODS
};

#undef INTERFACE
#define INTERFACE IMPDeviceSync2
DECLARE_INTERFACE_(IMPDeviceSync2, IUnknown) {
    DORVO_INHERITED(DORVO_IUNKNOWN_METHODS)
    DORVO_IMPDEVICESYNC_METHODS
};

/* The component build's own interface, asked for by its outer application. */
#undef INTERFACE
#define INTERFACE IDorvo2Comp
DECLARE_INTERFACE_(IDorvo2Comp, IUnknown) {
    DORVO_INHERITED(DORVO_IUNKNOWN_METHODS)
    /* Any thread: shows the editor of the hosted component. */
    STDMETHOD(DisplayEditor)(THIS_ ULONG_PTR unused, IUnknown * component) PURE;
    /* Any thread: synchronizes the hosted components again. */
    STDMETHOD(Resync)(THIS_ LONGLONG value) PURE;
};

/* Page-hosting codes of IMPPageHost::Call. */
#define MPPAGEHOST_SHOW 0      /* show the editor's page; data: null or the saved placement */
#define MPPAGEHOST_SHOWAGAIN 1 /* show the page that is shown already */
#define MPPAGEHOST_CLOSE 2     /* close the editor's page */
#define MPPAGEHOST_RENAMED 3   /* the component got a new name */
#define MPPAGEHOST_RELEASE 4   /* the page goes; data: the placement record to fill */

/* Where an editor's page was when the outer application last showed it. The host keeps the
 * record; the block is task-allocated and its content is the outer application's own. Code 0
 * passes the record when the block is set; before code 4 the host sets value to 0, frees the
 * block and clears it, and the outer application may fill both. A value of 0 afterwards means
 * that the outer application kept nothing: the host frees any block and clears it. */
typedef struct tagMPPAGEPLACEMENT {
    DWORD value;
    LPVOID block;
} MPPAGEPLACEMENT;

/* The outer application's page-hosting interface, asked from its host object by the component
 * build in MPConnect; the component build calls it only on the outer application's thread that
 * made the connection's client window. */
#undef INTERFACE
#define INTERFACE IMPPageHost
DECLARE_INTERFACE_(IMPPageHost, IUnknown) {
    DORVO_INHERITED(DORVO_IUNKNOWN_METHODS)
    STDMETHOD(Call)(THIS_ IPropertyPage * page, DWORD code, LPVOID data) PURE;
};

#undef INTERFACE

#endif /* DORVO_DORVO2_H */
