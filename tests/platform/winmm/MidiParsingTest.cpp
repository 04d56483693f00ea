// The byte-level rules of both directions: what the input parser makes of a device's bytes,
// and how long output buffers are cut into messages and system-exclusive pieces.
#include "MidiInputParser.h"
#include "MidiOutputSplitter.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

using dorvo::winmm::MidiInputParser;
using dorvo::winmm::MidiOutputSplitter;
using Bytes = std::vector<std::uint8_t>;

namespace {

// Writes what the parser reports as a readable trace: "S403C90" a short message, "X..." the
// bytes of a system-exclusive run, "E" its end, "I" an interruption, "!" an invalid message.
class InputTrace : public MidiInputParser::Listener {
public:
    void shortMessage(std::uint32_t packed) override { add("S" + hex(packed)); }
    void sysexBytes(const std::uint8_t* bytes, std::size_t count) override {
        sysex.insert(sysex.end(), bytes, bytes + count);
        if (events.empty() || events.back() != "X")
            add("X");
    }
    void sysexEnded() override { add("E"); }
    void sysexInterrupted() override { add("I"); }
    void invalidMessage(std::uint32_t packed) override { add("!" + hex(packed)); }

    std::string text;
    std::vector<std::string> events;
    Bytes sysex;

private:
    static std::string hex(std::uint32_t value) {
        char buffer[16];
        std::snprintf(buffer, sizeof buffer, "%X", value);
        return buffer;
    }
    void add(const std::string& event) {
        events.push_back(event);
        text += (text.empty() ? "" : " ") + event;
    }
};

std::string parse(const Bytes& bytes, InputTrace* trace = nullptr) {
    InputTrace own;
    InputTrace& used = trace ? *trace : own;
    MidiInputParser parser;
    parser.parse(bytes.data(), bytes.size(), used);
    return used.text;
}

// Splits, and writes "M<bytes>" for messages and "P<bytes>" for sysex pieces.
class OutputTrace : public MidiOutputSplitter::Listener {
public:
    bool message(const std::uint8_t* bytes, std::size_t count) override {
        add('M', bytes, count);
        return true;
    }
    bool sysexPiece(const std::uint8_t* bytes, std::size_t count) override {
        add('P', bytes, count);
        return stopAfter < 0 || --stopAfter > 0;
    }
    std::string text;
    int stopAfter = -1;

private:
    void add(char kind, const std::uint8_t* bytes, std::size_t count) {
        if (!text.empty())
            text += ' ';
        text += kind;
        for (std::size_t i = 0; i < count; ++i) {
            char buffer[4];
            std::snprintf(buffer, sizeof buffer, "%02X", bytes[i]);
            text += buffer;
        }
    }
};

std::string split(MidiOutputSplitter& splitter, const Bytes& bytes) {
    OutputTrace trace;
    splitter.split(bytes.data(), bytes.size(), trace);
    return trace.text;
}

} // namespace

TEST(MidiInputParser, ChannelMessagesWithRunningStatus) {
    EXPECT_EQ("S403C90 S503E90", parse({0x90, 0x3C, 0x40, 0x3E, 0x50}));
    EXPECT_EQ("S5C0 S6C0", parse({0xC0, 0x05, 0x06}));
    EXPECT_EQ("S7F7FE3", parse({0xE3, 0x7F, 0x7F}));
}

TEST(MidiInputParser, RealTimeBytesPassThroughAnyMessage) {
    EXPECT_EQ("SF8 S403C90", parse({0x90, 0xF8, 0x3C, 0x40}));
    EXPECT_EQ("X SFE X E", parse({0xF0, 0x01, 0xFE, 0x02, 0xF7}));
    InputTrace trace;
    parse({0xF0, 0x01, 0xF8, 0x02, 0xF7}, &trace);
    EXPECT_EQ((Bytes{0xF0, 0x01, 0x02, 0xF7}), trace.sysex);
}

TEST(MidiInputParser, SystemCommonMessagesHaveTheirLengthsAndEndRunningStatus) {
    EXPECT_EQ("S201F2 S10F1 S5F3 SF6", parse({0xF2, 0x01, 0x02, 0xF1, 0x10, 0xF3, 0x05, 0xF6}));
    EXPECT_EQ("S403C90 SF6 !3C", parse({0x90, 0x3C, 0x40, 0xF6, 0x3C, 0x40}))
        << "after a system common message data bytes have no status; one report for the run";
}

TEST(MidiInputParser, SysexSpansCallsAndEndsOrIsInterrupted) {
    InputTrace trace;
    MidiInputParser parser;
    const Bytes first{0xF0, 0x43, 0x10};
    const Bytes second{0x20, 0xF7, 0x90, 0x3C, 0x40};
    parser.parse(first.data(), first.size(), trace);
    EXPECT_TRUE(parser.inSysex());
    parser.parse(second.data(), second.size(), trace);
    EXPECT_FALSE(parser.inSysex());
    EXPECT_EQ((Bytes{0xF0, 0x43, 0x10, 0x20, 0xF7}), trace.sysex);
    EXPECT_EQ("X E S403C90", trace.text);

    EXPECT_EQ("X I S403C90", parse({0xF0, 0x01, 0x02, 0x90, 0x3C, 0x40}));
    EXPECT_EQ("X I X E", parse({0xF0, 0x01, 0xF0, 0x02, 0xF7})) << "a new F0 starts over";
}

TEST(MidiInputParser, BytesThatFormNoMessageAreReportedOnce) {
    EXPECT_EQ("!1 S403C90", parse({0x01, 0x02, 0x03, 0x90, 0x3C, 0x40}));
    EXPECT_EQ("!F7", parse({0xF7}));
    EXPECT_EQ("!1 S403C90", parse({0x01, 0x02, 0xF7, 0x90, 0x3C, 0x40}))
        << "the F7 ends the stray run's message";
    EXPECT_EQ("!3C90 S403C80", parse({0x90, 0x3C, 0x80, 0x3C, 0x40}))
        << "a message cut short by the next status";
}

TEST(MidiInputParser, ResynchronizingSkipsTheRestOfALostMessageSilently) {
    InputTrace trace;
    MidiInputParser parser;
    const Bytes start{0xF0, 0x01};
    const Bytes rest{0x02, 0x03, 0xF7, 0x90, 0x3C, 0x40};
    parser.parse(start.data(), start.size(), trace);
    parser.resynchronize();
    EXPECT_FALSE(parser.inSysex());
    parser.parse(rest.data(), rest.size(), trace);
    EXPECT_EQ("X S403C90", trace.text);
}

TEST(MidiInputParser, HowBytesAreCutIntoCallsChangesNothing) {
    Bytes stream;
    for (int round = 0; round < 50; ++round) {
        const Bytes part{0x90, 0x3C, 0x40, 0x3D, 0xF8, 0x41, 0xF0, 0x01, 0x02, 0xFE, 0x03, 0xF7,
                         0x05, 0xC1, 0x07, 0xF2, 0x01, 0xF0, 0x7F, 0xB0, 0x07, 0x64, 0xF7};
        stream.insert(stream.end(), part.begin(), part.end());
    }
    InputTrace whole;
    parse(stream, &whole);
    for (std::size_t piece : {1u, 2u, 3u, 7u, 64u}) {
        InputTrace cut;
        MidiInputParser parser;
        for (std::size_t i = 0; i < stream.size(); i += piece)
            parser.parse(stream.data() + i, std::min(piece, stream.size() - i), cut);
        // Runs of sysex bytes may be reported in more calls; the order of events may not change.
        EXPECT_EQ(whole.sysex, cut.sysex) << piece;
        EXPECT_EQ(whole.events, cut.events) << piece;
    }
}

TEST(MidiOutputSplitter, SysexPiecesKeepTheirBytesAndMessagesTheirStatus) {
    MidiOutputSplitter splitter;
    EXPECT_EQ("PF0431020F7", split(splitter, {0xF0, 0x43, 0x10, 0x20, 0xF7}));
    EXPECT_EQ("M903C40 M903D41 MC005", split(splitter, {0x90, 0x3C, 0x40, 0x3D, 0x41, 0xC0, 0x05}))
        << "running status is written out";
    EXPECT_EQ("PF001 MF8 P02F7", split(splitter, {0xF0, 0x01, 0xF8, 0x02, 0xF7}))
        << "a real-time byte leaves between two pieces";
    EXPECT_EQ("M903C40", split(splitter, {0x11, 0x22, 0x90, 0x3C, 0x40}))
        << "data bytes with no status go nowhere";
}

TEST(MidiOutputSplitter, AMessageContinuesInTheNextBuffer) {
    MidiOutputSplitter splitter;
    EXPECT_EQ("PF00102", split(splitter, {0xF0, 0x01, 0x02}));
    EXPECT_TRUE(splitter.inSysex());
    EXPECT_EQ("P0304F7 M903C40", split(splitter, {0x03, 0x04, 0xF7, 0x90, 0x3C, 0x40}));
    EXPECT_FALSE(splitter.inSysex());
    EXPECT_EQ("", split(splitter, {0xB0, 0x07}));
    EXPECT_EQ("MB00764", split(splitter, {0x64}));

    EXPECT_EQ("PF001", split(splitter, {0xF0, 0x01}));
    splitter.reset();
    EXPECT_EQ("", split(splitter, {0x02, 0x03})) << "after a reset the rest is stray";
}

TEST(MidiOutputSplitter, AStatusByteEndsAnOpenSysex) {
    MidiOutputSplitter splitter;
    EXPECT_EQ("PF00102 M903C40 PF003F7",
              split(splitter, {0xF0, 0x01, 0x02, 0x90, 0x3C, 0x40, 0xF0, 0x03, 0xF7}));
}

TEST(MidiOutputSplitter, AListenerThatFailsStopsTheSplit) {
    MidiOutputSplitter splitter;
    OutputTrace trace;
    trace.stopAfter = 1;
    const Bytes bytes{0xF0, 0x01, 0xF8, 0x02, 0xF7, 0x90, 0x3C, 0x40};
    EXPECT_FALSE(splitter.split(bytes.data(), bytes.size(), trace));
    EXPECT_EQ("PF001", trace.text);
}
