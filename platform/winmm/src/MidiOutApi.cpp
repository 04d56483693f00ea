// The output half of the multimedia MIDI functions: argument checks and handle lookup; the work
// is MidiOutHandle's.
#include "Backend.h"
#include "DeviceName.h"
#include "HandleSupport.h"
#include "MidiOutHandle.h"

#include <dorvo/mmsystem.h>

using namespace dorvo::winmm;

namespace {

constexpr WORD kMidiPortTechnology = 1; // a hardware-style MIDI port, not a synthesizer

HandleTable<MidiOutHandle>& outputHandles() {
    // Never destroyed: sender threads may outlive static destruction at exit.
    static auto* table = new HandleTable<MidiOutHandle>;
    return *table;
}

} // namespace

UINT midiOutGetNumDevs(void) {
    // The count and the capabilities and opens that follow speak of the same list.
    midiBackend().refreshDevices(Direction::Output);
    return UINT(midiBackend().deviceNames(Direction::Output).size());
}

MMRESULT midiOutGetDevCapsW(UINT_PTR uDeviceID, MIDIOUTCAPSW* caps, UINT cbCaps) {
    return deviceCaps(Direction::Output, uDeviceID, caps, cbCaps, [](MIDIOUTCAPSW& full) {
        full.wTechnology = kMidiPortTechnology;
        full.wChannelMask = 0xFFFF;
    });
}

MMRESULT midiOutOpen(HMIDIOUT* phmo, UINT uDeviceID, DWORD_PTR dwCallback, DWORD_PTR dwInstance,
                     DWORD fdwOpen) {
    return openHandle(outputHandles(), Direction::Output, phmo, uDeviceID, dwCallback, dwInstance,
                      fdwOpen);
}

MMRESULT midiOutShortMsg(HMIDIOUT hmo, DWORD dwMsg) {
    return withHandle(outputHandles(), hmo,
                      [&](MidiOutHandle& handle) { return handle.shortMessage(dwMsg); });
}

MMRESULT midiOutPrepareHeader(HMIDIOUT hmo, MIDIHDR* hdr, UINT cbHdr) {
    return withHandle(outputHandles(), hmo,
                      [&](MidiOutHandle&) { return prepareHeader(hdr, cbHdr); });
}

MMRESULT midiOutUnprepareHeader(HMIDIOUT hmo, MIDIHDR* hdr, UINT cbHdr) {
    return withHandle(outputHandles(), hmo,
                      [&](MidiOutHandle&) { return unprepareHeader(hdr, cbHdr); });
}

MMRESULT midiOutLongMsg(HMIDIOUT hmo, MIDIHDR* hdr, UINT cbHdr) {
    return withHandle(outputHandles(), hmo,
                      [&](MidiOutHandle& handle) { return handle.longMessage(hdr, cbHdr); });
}

MMRESULT midiOutReset(HMIDIOUT hmo) {
    return withHandle(outputHandles(), hmo, [](MidiOutHandle& handle) { return handle.reset(); });
}

MMRESULT midiOutClose(HMIDIOUT hmo) {
    return closeHandle(outputHandles(), hmo);
}
