// Finding a MIDI device of the running backend by name, as the transport numbers its ports.
#pragma once

#include "TWinMIDIPortAccessor.h"

#include <QString>

#include <string>

// The 1-based port number of the device called `name`, or 0 when there is none.
inline int portNumberOf(int direction, const std::string& name) {
    TWinMIDIPortAccessor ports;
    for (int index = 0; index < ports.deviceCount(direction); ++index) {
        if (ports.deviceName(direction, index) == QString::fromStdString(name))
            return index + 1;
    }
    return 0;
}
