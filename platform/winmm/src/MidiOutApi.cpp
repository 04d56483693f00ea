// The output half of the multimedia MIDI functions: argument checks and handle lookup; the work
// is MidiOutHandle's.
#include "Backend.h"
#include "DeviceName.h"
#include "HandleSupport.h"
#include "MidiOutHandle.h"

#include <dorvo/mmsystem.h>

#include <algorithm>
#include <cstring>

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
    return UINT(midiBackend().deviceNames(Direction::Output).size());
}

MMRESULT midiOutGetDevCapsW(UINT_PTR uDeviceID, MIDIOUTCAPSW* caps, UINT cbCaps) {
    if (caps == nullptr || cbCaps == 0)
        return MMSYSERR_INVALPARAM;
    const auto names = midiBackend().deviceNames(Direction::Output);
    if (uDeviceID >= names.size())
        return MMSYSERR_BADDEVICEID;
    MIDIOUTCAPSW full{};
    full.wMid = 0xFFFF; // no registered manufacturer or product
    full.wPid = 0xFFFF;
    full.vDriverVersion = 0x0100;
    copyDeviceName(names[uDeviceID], full.szPname);
    full.wTechnology = kMidiPortTechnology;
    full.wChannelMask = 0xFFFF;
    std::memcpy(caps, &full, std::min<std::size_t>(cbCaps, sizeof full));
    return MMSYSERR_NOERROR;
}

MMRESULT midiOutOpen(HMIDIOUT* phmo, UINT uDeviceID, DWORD_PTR dwCallback, DWORD_PTR dwInstance,
                     DWORD fdwOpen) {
    if (phmo == nullptr)
        return MMSYSERR_INVALPARAM;
    *phmo = nullptr;
    void* function = nullptr;
    if (const MMRESULT result = callbackFromOpenFlags(dwCallback, fdwOpen, &function);
        result != MMSYSERR_NOERROR)
        return result;
    MidiBackend& backend = midiBackend();
    const auto names = backend.deviceNames(Direction::Output);
    if (uDeviceID >= names.size())
        return MMSYSERR_BADDEVICEID;
    const std::uintptr_t value = newHandleValue();
    const auto handle =
        std::make_shared<MidiOutHandle>(reinterpret_cast<HMIDIOUT>(value),
                                        reinterpret_cast<LPMIDIOUTCALLBACK>(function), dwInstance);
    // In the table before it opens: the open notification may already use the handle.
    outputHandles().insert(value, handle);
    if (const MMRESULT result = handle->open(backend, uDeviceID, names[uDeviceID]);
        result != MMSYSERR_NOERROR) {
        outputHandles().remove(reinterpret_cast<HMIDIOUT>(value));
        return result;
    }
    *phmo = reinterpret_cast<HMIDIOUT>(value);
    return MMSYSERR_NOERROR;
}

MMRESULT midiOutShortMsg(HMIDIOUT hmo, DWORD dwMsg) {
    const auto handle = outputHandles().find(hmo);
    return handle ? handle->shortMessage(dwMsg) : MMSYSERR_INVALHANDLE;
}

MMRESULT midiOutPrepareHeader(HMIDIOUT hmo, MIDIHDR* hdr, UINT cbHdr) {
    if (!outputHandles().find(hmo))
        return MMSYSERR_INVALHANDLE;
    return prepareHeader(hdr, cbHdr);
}

MMRESULT midiOutUnprepareHeader(HMIDIOUT hmo, MIDIHDR* hdr, UINT cbHdr) {
    if (!outputHandles().find(hmo))
        return MMSYSERR_INVALHANDLE;
    return unprepareHeader(hdr, cbHdr);
}

MMRESULT midiOutLongMsg(HMIDIOUT hmo, MIDIHDR* hdr, UINT cbHdr) {
    const auto handle = outputHandles().find(hmo);
    return handle ? handle->longMessage(hdr, cbHdr) : MMSYSERR_INVALHANDLE;
}

MMRESULT midiOutReset(HMIDIOUT hmo) {
    const auto handle = outputHandles().find(hmo);
    return handle ? handle->reset() : MMSYSERR_INVALHANDLE;
}

MMRESULT midiOutClose(HMIDIOUT hmo) {
    const auto handle = outputHandles().find(hmo);
    if (!handle)
        return MMSYSERR_INVALHANDLE;
    const MMRESULT result = handle->close();
    if (result == MMSYSERR_NOERROR)
        outputHandles().remove(hmo);
    return result;
}
