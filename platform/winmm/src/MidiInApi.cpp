// The input half of the multimedia MIDI functions: argument checks and handle lookup; the work
// is MidiInHandle's.
#include "Backend.h"
#include "DeviceName.h"
#include "HandleSupport.h"
#include "MidiInHandle.h"

#include <dorvo/mmsystem.h>

using namespace dorvo::winmm;

namespace {

HandleTable<MidiInHandle>& inputHandles() {
    // Never destroyed: callback threads may outlive static destruction at exit.
    static auto* table = new HandleTable<MidiInHandle>;
    return *table;
}

} // namespace

UINT midiInGetNumDevs(void) {
    // The count and the capabilities and opens that follow speak of the same list.
    midiBackend().refreshDevices(Direction::Input);
    return UINT(midiBackend().deviceNames(Direction::Input).size());
}

MMRESULT midiInGetDevCapsW(UINT_PTR uDeviceID, MIDIINCAPSW* caps, UINT cbCaps) {
    return deviceCaps(Direction::Input, uDeviceID, caps, cbCaps, [](MIDIINCAPSW&) {});
}

MMRESULT midiInOpen(HMIDIIN* phmi, UINT uDeviceID, DWORD_PTR dwCallback, DWORD_PTR dwInstance,
                    DWORD fdwOpen) {
    return openHandle(inputHandles(), Direction::Input, phmi, uDeviceID, dwCallback, dwInstance,
                      fdwOpen);
}

MMRESULT midiInPrepareHeader(HMIDIIN hmi, MIDIHDR* hdr, UINT cbHdr) {
    return withHandle(inputHandles(), hmi,
                      [&](MidiInHandle&) { return prepareHeader(hdr, cbHdr); });
}

MMRESULT midiInUnprepareHeader(HMIDIIN hmi, MIDIHDR* hdr, UINT cbHdr) {
    return withHandle(inputHandles(), hmi,
                      [&](MidiInHandle&) { return unprepareHeader(hdr, cbHdr); });
}

MMRESULT midiInAddBuffer(HMIDIIN hmi, MIDIHDR* hdr, UINT cbHdr) {
    return withHandle(inputHandles(), hmi,
                      [&](MidiInHandle& handle) { return handle.addBuffer(hdr, cbHdr); });
}

MMRESULT midiInStart(HMIDIIN hmi) {
    return withHandle(inputHandles(), hmi, [](MidiInHandle& handle) { return handle.start(); });
}

MMRESULT midiInStop(HMIDIIN hmi) {
    return withHandle(inputHandles(), hmi, [](MidiInHandle& handle) { return handle.stop(); });
}

MMRESULT midiInReset(HMIDIIN hmi) {
    return withHandle(inputHandles(), hmi, [](MidiInHandle& handle) { return handle.reset(); });
}

MMRESULT midiInClose(HMIDIIN hmi) {
    return closeHandle(inputHandles(), hmi);
}
