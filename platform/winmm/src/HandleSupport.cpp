#include "HandleSupport.h"

#include <cstddef>

namespace dorvo::winmm {

namespace {
constexpr DWORD kCallbackTypeMask = 0x00070000;
// The fields up to and including `reserved`: what older callers' headers have, and all this
// layer touches.
constexpr UINT kMinimumHeaderSize = offsetof(MIDIHDR, dwOffset);
} // namespace

std::uintptr_t newHandleValue() {
    // Spaced like heap addresses; the counter starts away from null and small integers.
    static std::atomic<std::uintptr_t> next{0x10000};
    return next.fetch_add(0x10);
}

MMRESULT checkHeader(const MIDIHDR* header, UINT size) {
    if (header == nullptr || size < kMinimumHeaderSize)
        return MMSYSERR_INVALPARAM;
    return MMSYSERR_NOERROR;
}

MMRESULT checkHeaderForQueue(const MIDIHDR* header, UINT size) {
    if (const MMRESULT result = checkHeader(header, size); result != MMSYSERR_NOERROR)
        return result;
    const DWORD flags = headerFlags(header);
    if (!(flags & MHDR_PREPARED))
        return MIDIERR_UNPREPARED;
    if (flags & MHDR_INQUEUE)
        return MIDIERR_STILLPLAYING;
    if (header->lpData == nullptr || header->dwBufferLength == 0)
        return MMSYSERR_INVALPARAM;
    return MMSYSERR_NOERROR;
}

MMRESULT prepareHeader(MIDIHDR* header, UINT size) {
    if (const MMRESULT result = checkHeader(header, size); result != MMSYSERR_NOERROR)
        return result;
    if (header->lpData == nullptr)
        return MMSYSERR_INVALPARAM;
    changeHeaderFlags(header, MHDR_PREPARED, 0);
    return MMSYSERR_NOERROR;
}

MMRESULT unprepareHeader(MIDIHDR* header, UINT size) {
    if (const MMRESULT result = checkHeader(header, size); result != MMSYSERR_NOERROR)
        return result;
    if (headerFlags(header) & MHDR_INQUEUE)
        return MIDIERR_STILLPLAYING;
    changeHeaderFlags(header, 0, MHDR_PREPARED);
    return MMSYSERR_NOERROR;
}

MMRESULT callbackFromOpenFlags(DWORD_PTR callback, DWORD flags, void** function) {
    *function = nullptr;
    switch (flags & kCallbackTypeMask) {
    case CALLBACK_NULL:
        return MMSYSERR_NOERROR;
    case CALLBACK_FUNCTION:
        if (callback == 0)
            return MMSYSERR_INVALPARAM;
        *function = reinterpret_cast<void*>(callback);
        return MMSYSERR_NOERROR;
    default: // windows, threads and events have no meaning here
        return MMSYSERR_INVALFLAG;
    }
}

} // namespace dorvo::winmm
