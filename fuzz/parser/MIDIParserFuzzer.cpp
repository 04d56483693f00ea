// Random bytes through the receive parser. The input's first byte says how many split bytes
// follow; those choose the chunk lengths in turn (0 stands for a 4-byte short packet), and the
// rest is what the device sent. Every chunk lives in an allocation of exactly its size, so that
// a read beyond it is caught.
#include "TMIDITransport.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace {

[[noreturn]] void fail(const char* what, const MPEVENT& event) {
    std::fprintf(stderr, "parser delivered %s: type 0x%x, channel %u, length %u\n", what,
                 unsigned(event.type), unsigned(event.channel), unsigned(event.dataLength));
    std::abort();
}

bool isShortKind(DWORD type) {
    for (DWORD kind = MPEVENT_NOTEOFF; kind <= MPEVENT_PITCHBEND; kind <<= 1) {
        if (type == kind)
            return true;
    }
    return false;
}

class CheckingSink : public TMIDIReaderRefConInterface {
public:
    void receiveEvent(MPEVENT* event) override {
        if (isShortKind(event->type)) {
            if (event->channel > 15 || event->dataLength != 0 || event->data[2] || event->data[3])
                fail("a malformed short event", *event);
            return;
        }
        if (event->type != MPEVENT_SYSEX && event->type != MPEVENT_SYSEXCONTINUATION)
            fail("an unknown kind", *event);
        if (event->channel != 0)
            fail("a system-exclusive event with a channel", *event);
        if (event->dataLength == 0) {
            // Only a lone closing byte, which begins a continuation and ends it at once.
            if (event->type != MPEVENT_SYSEXCONTINUATION)
                fail("an empty system-exclusive message", *event);
            return;
        }
        // Touch every byte, so that the sanitizer sees a pointer beyond the data.
        unsigned sum = 0;
        for (DWORD i = 0; i < event->dataLength; ++i)
            sum += event->longData[i];
        m_checksum += sum;
        if (event->longData[event->dataLength - 1] != 0xF7)
            fail("system-exclusive data without its closing byte", *event);
    }
    unsigned m_checksum = 0;
};

class FuzzedTransport : public TMIDITransport {
public:
    explicit FuzzedTransport(TMIDIReaderRefConInterface* sink) { m_sink = sink; }
    bool openInput(int, TMIDIReaderRefConInterface*) override { return false; }
    void closeInput() override {}
    bool openOutput(int) override { return false; }
    void closeOutput() override {}
    bool send(int, const BYTE*, BYTE) override { return false; }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const std::size_t splitCount = std::min<std::size_t>(data[0] % 16, size - 1);
    const std::uint8_t* splits = data + 1;
    const std::uint8_t* payload = splits + splitCount;
    std::size_t remaining = size - 1 - splitCount;

    CheckingSink sink;
    // Destroyed at the end, possibly in the middle of a message: a leak would show.
    FuzzedTransport transport(&sink);
    std::size_t turn = 0;
    while (remaining > 0) {
        std::size_t chunk = splitCount ? splits[turn++ % splitCount] : remaining;
        if (chunk == 0)
            chunk = 4;
        chunk = std::min(chunk, remaining);
        auto copy = std::make_unique<BYTE[]>(chunk);
        std::memcpy(copy.get(), payload, chunk);
        if (transport.processInput(static_cast<int>(chunk), copy.get()) != 0)
            std::abort(); // the parser never asks to end the reader thread
        payload += chunk;
        remaining -= chunk;
    }
    return 0;
}
