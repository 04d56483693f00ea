// Apartments are bookkeeping only here: every object is called directly on the caller's thread,
// so creating objects works whether or not a thread ever entered an apartment. What is kept is
// the per-thread entry count and model, so that callers see the usual answers (S_OK for the
// first entry, S_FALSE for a nested one, RPC_E_CHANGED_MODE for a different model).
#include <dorvo/objbase.h>

namespace {

// Flags that do not choose the model: no OLE 1 DDE window, speed over memory.
constexpr DWORD kModelNeutralFlags = 0x4 | 0x8;
constexpr DWORD kKnownFlags = COINIT_APARTMENTTHREADED | kModelNeutralFlags;

struct ThreadApartment {
    unsigned entries = 0;
    DWORD model = COINIT_MULTITHREADED;
};

thread_local ThreadApartment t_apartment;

} // namespace

STDAPI CoInitializeEx(LPVOID pvReserved, DWORD dwCoInit) {
    if (pvReserved != nullptr || (dwCoInit & ~kKnownFlags) != 0)
        return E_INVALIDARG;
    const DWORD model = dwCoInit & COINIT_APARTMENTTHREADED;
    if (t_apartment.entries == 0) {
        t_apartment.model = model;
        t_apartment.entries = 1;
        return S_OK;
    }
    if (t_apartment.model != model)
        return RPC_E_CHANGED_MODE;
    ++t_apartment.entries;
    return S_FALSE;
}

STDAPI_(void) CoUninitialize(void) {
    // An unmatched call is ignored rather than letting the count wrap.
    if (t_apartment.entries > 0)
        --t_apartment.entries;
}
