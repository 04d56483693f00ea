#include "MidiBytes.h"

namespace dorvo::winmm {

std::size_t shortMessageLength(std::uint8_t status) {
    if (!isStatusByte(status))
        return 0;
    if (status < 0xF0) {
        const std::uint8_t kind = status & 0xF0;
        return (kind == 0xC0 || kind == 0xD0) ? 2 : 3;
    }
    switch (status) {
    case 0xF0:
    case 0xF7:
        return 0;
    case 0xF1: // time code quarter frame
    case 0xF3: // song select
        return 2;
    case 0xF2: // song position
        return 3;
    default: // tune request, undefined system common, real-time
        return 1;
    }
}

} // namespace dorvo::winmm
