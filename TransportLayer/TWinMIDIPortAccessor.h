// The machine's MIDI ports as the multimedia MIDI devices list them, under persistent ids.
#pragma once

#include "TUniMIDIPortAccessor.h"

#include <functional>

class TWinMIDIPortAccessor : public TUniMIDIPortAccessor {
public:
    // Lists the devices at once.
    TWinMIDIPortAccessor();

    // `handler` is called, on a thread of the MIDI layer and perhaps several times for one
    // change, when a device is plugged in, pulled or renamed; it must return quickly. An empty
    // handler ends the calls; once this returns the previous one is not called any more.
    static void setDevicesChangedHandler(std::function<void()> handler);

    int deviceCount(int direction) override;
    QString deviceName(int direction, int index) override;
};
