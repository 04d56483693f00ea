#include "TWinMIDIPortAccessor.h"

#include <dorvo/mmsystem.h>

#include <mutex>

namespace {

std::mutex handlerMutex;
std::function<void()> devicesChangedHandler;

void devicesChanged(DWORD_PTR) {
    std::function<void()> handler;
    {
        std::lock_guard lock(handlerMutex);
        handler = devicesChangedHandler;
    }
    if (handler)
        handler();
}

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

void TWinMIDIPortAccessor::setDevicesChangedHandler(std::function<void()> handler) {
    const bool any = bool(handler);
    {
        std::lock_guard lock(handlerMutex);
        devicesChangedHandler = std::move(handler);
    }
    // The layer waits for a call under way, which may still hold the previous handler's copy.
    dorvoMidiSetDevicesChangedCallback(any ? &devicesChanged : nullptr, 0);
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
