// The editor's side of the Demo Synth protocol (PROTOCOL.md): the messages it sends and what it
// makes of what the synthesizer sends.
#pragma once

#include "DemoSynthParameters.h"

#include <SysexBytes.h>

namespace demosynth {

using examples::Bytes;

inline constexpr int kAllBlocks = 0x7F;

Bytes dumpRequest(int block);
Bytes blockDump(int block, const Block& values);
Bytes parameterChange(int block, int index, BYTE value);

struct Reply {
    enum Kind {
        kNone,            // not a message of the Demo Synth
        kDump,            // block and values
        kDamagedDump,     // a dump of the block with a wrong checksum or length
        kAcknowledge,     // block and status (0 stored)
        kParameterChange, // block, index and value
    };
    Kind kind = kNone;
    int block = -1;
    int index = -1;
    BYTE value = 0; // parameter value or acknowledge status
    Block values{};
};

// One complete message, F0 ... F7.
Reply parseReply(const Bytes& message);

} // namespace demosynth
