// The input half of the multimedia MIDI functions: argument checks and handle lookup; the work
// is MidiInHandle's.
#include "Backend.h"
#include "DeviceName.h"
#include "HandleSupport.h"
#include "MidiInHandle.h"

#include <dorvo/mmsystem.h>

#include <algorithm>
#include <cstring>

using namespace dorvo::winmm;

namespace {

HandleTable<MidiInHandle>& inputHandles() {
    // Never destroyed: callback threads may outlive static destruction at exit.
    static auto* table = new HandleTable<MidiInHandle>;
    return *table;
}

} // namespace

UINT midiInGetNumDevs(void) {
    return UINT(midiBackend().deviceNames(Direction::Input).size());
}

MMRESULT midiInGetDevCapsW(UINT_PTR uDeviceID, MIDIINCAPSW* caps, UINT cbCaps) {
    if (caps == nullptr || cbCaps == 0)
        return MMSYSERR_INVALPARAM;
    const auto names = midiBackend().deviceNames(Direction::Input);
    if (uDeviceID >= names.size())
        return MMSYSERR_BADDEVICEID;
    MIDIINCAPSW full{};
    full.wMid = 0xFFFF; // no registered manufacturer or product
    full.wPid = 0xFFFF;
    full.vDriverVersion = 0x0100;
    copyDeviceName(names[uDeviceID], full.szPname);
    std::memcpy(caps, &full, std::min<std::size_t>(cbCaps, sizeof full));
    return MMSYSERR_NOERROR;
}

MMRESULT midiInOpen(HMIDIIN* phmi, UINT uDeviceID, DWORD_PTR dwCallback, DWORD_PTR dwInstance,
                    DWORD fdwOpen) {
    if (phmi == nullptr)
        return MMSYSERR_INVALPARAM;
    *phmi = nullptr;
    void* function = nullptr;
    if (const MMRESULT result = callbackFromOpenFlags(dwCallback, fdwOpen, &function);
        result != MMSYSERR_NOERROR)
        return result;
    MidiBackend& backend = midiBackend();
    const auto names = backend.deviceNames(Direction::Input);
    if (uDeviceID >= names.size())
        return MMSYSERR_BADDEVICEID;
    const std::uintptr_t value = newHandleValue();
    const auto handle = std::make_shared<MidiInHandle>(
        reinterpret_cast<HMIDIIN>(value), reinterpret_cast<LPMIDICALLBACK>(function), dwInstance);
    // In the table before it opens: the open notification may already use the handle.
    inputHandles().insert(value, handle);
    if (const MMRESULT result = handle->open(backend, uDeviceID, names[uDeviceID]);
        result != MMSYSERR_NOERROR) {
        inputHandles().remove(reinterpret_cast<HMIDIIN>(value));
        return result;
    }
    *phmi = reinterpret_cast<HMIDIIN>(value);
    return MMSYSERR_NOERROR;
}

MMRESULT midiInPrepareHeader(HMIDIIN hmi, MIDIHDR* hdr, UINT cbHdr) {
    if (!inputHandles().find(hmi))
        return MMSYSERR_INVALHANDLE;
    return prepareHeader(hdr, cbHdr);
}

MMRESULT midiInUnprepareHeader(HMIDIIN hmi, MIDIHDR* hdr, UINT cbHdr) {
    if (!inputHandles().find(hmi))
        return MMSYSERR_INVALHANDLE;
    return unprepareHeader(hdr, cbHdr);
}

MMRESULT midiInAddBuffer(HMIDIIN hmi, MIDIHDR* hdr, UINT cbHdr) {
    const auto handle = inputHandles().find(hmi);
    return handle ? handle->addBuffer(hdr, cbHdr) : MMSYSERR_INVALHANDLE;
}

MMRESULT midiInStart(HMIDIIN hmi) {
    const auto handle = inputHandles().find(hmi);
    return handle ? handle->start() : MMSYSERR_INVALHANDLE;
}

MMRESULT midiInStop(HMIDIIN hmi) {
    const auto handle = inputHandles().find(hmi);
    return handle ? handle->stop() : MMSYSERR_INVALHANDLE;
}

MMRESULT midiInReset(HMIDIIN hmi) {
    const auto handle = inputHandles().find(hmi);
    return handle ? handle->reset() : MMSYSERR_INVALHANDLE;
}

MMRESULT midiInClose(HMIDIIN hmi) {
    const auto handle = inputHandles().find(hmi);
    if (!handle)
        return MMSYSERR_INVALHANDLE;
    const MMRESULT result = handle->close();
    if (result == MMSYSERR_NOERROR)
        inputHandles().remove(hmi);
    return result;
}
