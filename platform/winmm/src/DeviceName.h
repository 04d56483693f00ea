#pragma once

#include "Backend.h"

#include <dorvo/mmsystem.h>

#include <algorithm>
#include <cstring>
#include <string>

namespace dorvo::winmm {

// Writes a device's UTF-8 name into a capabilities name field as zero-terminated UTF-16, cut
// to the field's size without splitting a surrogate pair.
void copyDeviceName(const std::string& name, WCHAR (&field)[MAXPNAMELEN]);

// midiInGetDevCapsW and midiOutGetDevCapsW: the fields both have, then the direction's own
// (`fillRest`); a caller's shorter structure gets the part that fits.
template <class Caps, class Fill>
MMRESULT deviceCaps(Direction direction, UINT_PTR deviceId, Caps* caps, UINT size, Fill fillRest) {
    if (caps == nullptr || size == 0)
        return MMSYSERR_INVALPARAM;
    const auto names = midiBackend().deviceNames(direction);
    if (deviceId >= names.size())
        return MMSYSERR_BADDEVICEID;
    Caps full{};
    full.wMid = 0xFFFF; // no registered manufacturer or product
    full.wPid = 0xFFFF;
    full.vDriverVersion = 0x0100;
    copyDeviceName(names[deviceId], full.szPname);
    fillRest(full);
    std::memcpy(caps, &full, std::min<std::size_t>(size, sizeof full));
    return MMSYSERR_NOERROR;
}

} // namespace dorvo::winmm
