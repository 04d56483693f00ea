#include "DevicesChanged.h"

#include <dorvo/mmsystem.h>

#include <mutex>

namespace dorvo::winmm {

namespace {

// Held while the callback runs, so that replacing it waits for a call under way.
std::mutex callbackMutex;
DORVO_MIDI_DEVICES_CHANGED currentCallback = nullptr;
DWORD_PTR currentContext = 0;

} // namespace

void notifyDevicesChanged() {
    std::lock_guard lock(callbackMutex);
    if (currentCallback)
        currentCallback(currentContext);
}

} // namespace dorvo::winmm

void dorvoMidiSetDevicesChangedCallback(DORVO_MIDI_DEVICES_CHANGED callback, DWORD_PTR context) {
    std::lock_guard lock(dorvo::winmm::callbackMutex);
    dorvo::winmm::currentCallback = callback;
    dorvo::winmm::currentContext = context;
}
