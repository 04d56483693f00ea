#include "TWinMIDIPortAccessor.h"

#include <dorvo/mmsystem.h>

namespace {

// The product name up to its terminating zero, never beyond the field.
QString productName(const WCHAR (&name)[MAXPNAMELEN]) {
    qsizetype length = 0;
    while (length < MAXPNAMELEN && name[length] != 0)
        ++length;
    return QString::fromUtf16(name, length);
}

} // namespace

TWinMIDIPortAccessor::TWinMIDIPortAccessor() {
    rebuild();
}

int TWinMIDIPortAccessor::deviceCount(int direction) {
    if (direction == kInput)
        return static_cast<int>(midiInGetNumDevs());
    if (direction == kOutput)
        return static_cast<int>(midiOutGetNumDevs());
    return 0;
}

QString TWinMIDIPortAccessor::deviceName(int direction, int index) {
    if (index < 0)
        return QString();
    if (direction == kInput) {
        MIDIINCAPSW caps{};
        if (midiInGetDevCapsW(UINT_PTR(index), &caps, sizeof caps) == MMSYSERR_NOERROR)
            return productName(caps.szPname);
    } else if (direction == kOutput) {
        MIDIOUTCAPSW caps{};
        if (midiOutGetDevCapsW(UINT_PTR(index), &caps, sizeof caps) == MMSYSERR_NOERROR)
            return productName(caps.szPname);
    }
    return QString();
}
