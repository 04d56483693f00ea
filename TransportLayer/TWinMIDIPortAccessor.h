// The machine's MIDI ports as the multimedia MIDI devices list them, under persistent ids.
#pragma once

#include "TUniMIDIPortAccessor.h"

class TWinMIDIPortAccessor : public TUniMIDIPortAccessor {
public:
    // Lists the devices at once.
    TWinMIDIPortAccessor();

    int deviceCount(int direction) override;
    QString deviceName(int direction, int index) override;
};
