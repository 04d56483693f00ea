// A test component that records every call the host makes into a log, and whose answers the
// tests choose. Tests reach its control through the class object:
// CoGetClassObject(CLSID_RecordingComponent, ..., IID_IRecordingControl, ...).
#pragma once

#include <dorvo/dorvo2.h>

DORVO_DEFINE_GUID(CLSID_RecordingComponent, 0x5D0C8E21, 0x7A43, 0x4C1F, 0x8B, 0x2E, 0x91, 0x3A,
                  0x6F, 0x04, 0xC7, 0x55);
DORVO_DEFINE_GUID(CLSID_RecordingPage, 0x5D0C8E22, 0x7A43, 0x4C1F, 0x8B, 0x2E, 0x91, 0x3A, 0x6F,
                  0x04, 0xC7, 0x55);
DORVO_DEFINE_GUID(IID_IRecordingControl, 0x5D0C8E23, 0x7A43, 0x4C1F, 0x8B, 0x2E, 0x91, 0x3A, 0x6F,
                  0x04, 0xC7, 0x55);

inline constexpr char16_t kRecordingComponentName[] = u"Recording Component";
inline constexpr char16_t kRecordingDescription[] = u"Recording test component";
// The object name of the widget that the page puts into the editor window.
inline constexpr char kRecordingPageWidget[] = "recordingPage";

// How the next components and pages answer. Texts are empty for a null answer.
struct RecordingBehaviour {
    HRESULT connectResult = S_OK;
    // Interfaces the component answers.
    BOOL hasPages = TRUE;
    BOOL hasEventFilter = TRUE;
    BOOL hasSync2 = TRUE;
    BOOL hasSync1 = TRUE;
    BOOL hasPersistence = TRUE;
    // QueryInterface for an optional interface succeeds without giving one.
    BOOL nullInterfaces = FALSE;
    HRESULT getPagesResult = S_OK;
    ULONG pageCount = 1;
    BOOL nullPageArray = FALSE;
    HRESULT iconResult = S_OK;
    WCHAR iconDisabled[260] = {};
    WCHAR iconEnabled[260] = {};
    HRESULT recallResult = S_OK;
    DWORD selectionMode = 0;
    WCHAR recallItems[260] = {};
    DWORD defaultMask = 0;
    HRESULT statusResult = S_OK;
    BOOL nullStatusText = FALSE;
    HRESULT syncResult = S_OK;
    // Synchronize reports this many steps, then aborts with abortCode when it is not 0.
    DWORD progressSteps = 0;
    HRESULT abortCode = 0;
    // Synchronize then runs until CancelSynchronize (at most 10 s).
    BOOL waitForCancel = FALSE;
    HRESULT pageInfoResult = S_OK;
    SIZE pageSize = {320, 240};
    HRESULT activateResult = S_OK;
    // Persistence: GetClassID, Save and Load answer these; Save writes `state` (up to its
    // first NUL) and Load records what it read.
    HRESULT classIdResult = S_OK;
    HRESULT saveResult = S_OK;
    HRESULT loadResult = S_OK;
    BOOL dirty = FALSE;
    char state[64] = {};
    // GetRecallInfo's recall group and off-line answer (written even when it fails).
    DWORD group = 0;
    BOOL offline = FALSE;
};

#undef INTERFACE
#define INTERFACE IRecordingControl
DECLARE_INTERFACE_(IRecordingControl, IUnknown) {
    // Any thread: the answers of every component and page created from now on.
    STDMETHOD(SetBehaviour)(THIS_ const RecordingBehaviour* behaviour) PURE;
    // Any thread: the calls recorded since the last call, one per line, task-allocated.
    STDMETHOD(TakeLog)(THIS_ LPWSTR * log) PURE;
    // Any thread: components and pages alive.
    STDMETHOD_(LONG, LiveObjects)(THIS) PURE;
};
#undef INTERFACE
