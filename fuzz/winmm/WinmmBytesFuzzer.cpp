// Random device bytes through the input parser and the output splitter. The first input byte
// chooses a chunk length (1 to 64); the rest is the byte stream. Each reader sees the stream
// whole and cut into chunks, and must report the same, and everything it reports must be a
// well-formed message.
#include "MidiBytes.h"
#include "MidiInputParser.h"
#include "MidiOutputSplitter.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using namespace dorvo::winmm;

namespace {

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "%s\n", what);
    std::abort();
}

void checkShortMessage(const std::uint8_t* bytes, std::size_t count) {
    if (count == 0 || !isStatusByte(bytes[0]) || shortMessageLength(bytes[0]) != count)
        fail("a short message of the wrong length or without status");
    for (std::size_t i = 1; i < count; ++i) {
        if (isStatusByte(bytes[i]))
            fail("a status byte among a short message's data");
    }
}

// The parser's reports, with consecutive sysex runs joined (their cut may differ).
class ParserLog : public MidiInputParser::Listener {
public:
    void shortMessage(std::uint32_t packed) override {
        const std::uint8_t bytes[3] = {std::uint8_t(packed), std::uint8_t(packed >> 8),
                                       std::uint8_t(packed >> 16)};
        checkShortMessage(bytes, shortMessageLength(bytes[0]));
        if (packed >> (8 * shortMessageLength(bytes[0])) != 0)
            fail("bytes beyond a short message's length");
        add('S', packed);
    }
    void sysexBytes(const std::uint8_t* bytes, std::size_t count) override {
        for (std::size_t i = 0; i < count; ++i) {
            const std::uint8_t byte = bytes[i];
            if (!m_inSysex) {
                if (byte != kSysexStart)
                    fail("system-exclusive bytes that do not start with F0");
                m_inSysex = true;
            } else if (m_sawEnd) {
                fail("system-exclusive bytes after the F7");
            } else if (byte == kSysexEnd) {
                m_sawEnd = true;
            } else if (isStatusByte(byte)) {
                fail("a status byte inside system-exclusive bytes");
            }
            sysex.push_back(byte);
        }
        if (trace.empty() || trace.back() != 'X')
            trace += 'X';
    }
    void sysexEnded() override {
        if (!m_sawEnd)
            fail("an end reported without F7");
        m_inSysex = m_sawEnd = false;
        trace += 'E';
    }
    void sysexInterrupted() override {
        if (!m_inSysex || m_sawEnd)
            fail("an interruption outside a message");
        m_inSysex = false;
        trace += 'I';
    }
    void invalidMessage(std::uint32_t packed) override { add('!', packed); }

    std::string trace;
    std::vector<std::uint8_t> sysex;

private:
    void add(char kind, std::uint32_t packed) {
        if (m_inSysex && kind == '!')
            fail("an invalid message inside system-exclusive bytes");
        trace += kind;
        trace += std::to_string(packed);
        trace += ',';
    }
    bool m_inSysex = false;
    bool m_sawEnd = false;
};

class SplitterLog : public MidiOutputSplitter::Listener {
public:
    bool message(const std::uint8_t* bytes, std::size_t count) override {
        checkShortMessage(bytes, count);
        trace += 'M';
        for (std::size_t i = 0; i < count; ++i)
            trace += std::to_string(bytes[i]) + ",";
        return true;
    }
    bool sysexPiece(const std::uint8_t* bytes, std::size_t count) override {
        if (count == 0)
            fail("an empty system-exclusive piece");
        for (std::size_t i = 0; i < count; ++i) {
            if (bytes[i] == kSysexStart && i != 0)
                fail("F0 inside a piece");
            if (bytes[i] == kSysexEnd && i + 1 != count)
                fail("F7 before the end of a piece");
            if (isStatusByte(bytes[i]) && bytes[i] != kSysexStart && bytes[i] != kSysexEnd)
                fail("a status byte inside a piece");
        }
        if (trace.empty() || trace.back() != 'P')
            trace += 'P';
        sysex.insert(sysex.end(), bytes, bytes + count);
        return true;
    }
    std::string trace;
    std::vector<std::uint8_t> sysex;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    const std::size_t chunk = 1 + data[0] % 64;
    const std::vector<std::uint8_t> stream(data + 1, data + size);

    ParserLog whole, cut;
    MidiInputParser wholeParser, cutParser;
    wholeParser.parse(stream.data(), stream.size(), whole);
    MidiOutputSplitter wholeSplitter, cutSplitter;
    SplitterLog wholeSplit, cutSplit;
    wholeSplitter.split(stream.data(), stream.size(), wholeSplit);
    for (std::size_t i = 0; i < stream.size(); i += chunk) {
        // Each chunk in an allocation of its own size, so that a read beyond it is caught.
        const std::size_t length = std::min(chunk, stream.size() - i);
        const std::vector<std::uint8_t> piece(stream.begin() + i, stream.begin() + i + length);
        cutParser.parse(piece.data(), piece.size(), cut);
        cutSplitter.split(piece.data(), piece.size(), cutSplit);
    }
    if (whole.trace != cut.trace || whole.sysex != cut.sysex)
        fail("the parser's reports depend on how the bytes were cut");
    if (wholeSplit.sysex != cutSplit.sysex)
        fail("the splitter's system-exclusive bytes depend on how the bytes were cut");
    if (wholeSplit.trace != cutSplit.trace)
        fail("the splitter's messages depend on how the bytes were cut");
    return 0;
}
