// Consistency checks of the MIDI transport. The checks name the module they belong to - the
// hardware-independent transport or the driver - rather than the file they sit in, so that a
// warning reads the same whichever class of the module printed it.
#pragma once

#include "DorvoAssert.h"

#include <string_view>

namespace dorvo::transport {

inline constexpr std::string_view kTransportModule = "MIDITransport";
inline constexpr std::string_view kDriverModule = "MIDIWinTransport";

} // namespace dorvo::transport

// Evaluates to the truth of the condition; a false one is reported as `text` in `module`.
#define TRANSPORT_CHECK(module, condition, text)                                                   \
    ::dorvo::checkCondition(static_cast<bool>(condition), text, module, __LINE__)
