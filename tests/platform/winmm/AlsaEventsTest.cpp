// The ALSA backend's naming and its conversion between bytes and sequencer events, which work
// without a sequencer device; and a clean failure where there is none.
#include "AlsaEvents.h"
#include "AlsaBackend.h"
#include "AlsaSequencer.h"

#include <gtest/gtest.h>

#include <vector>

using namespace dorvo::winmm;
using Bytes = std::vector<std::uint8_t>;

TEST(AlsaDevices, NamesCarryClientAndPortNamesButNoNumbers) {
    EXPECT_EQ("USB MIDI Interface:USB MIDI Interface MIDI 1",
              alsaDeviceName("USB MIDI Interface", "USB MIDI Interface MIDI 1"));
}

TEST(AlsaDevices, PortsServeTheDirectionsTheirCapabilitiesAllow) {
    const unsigned readable = SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ;
    const unsigned writable = SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE;
    EXPECT_TRUE(alsaPortUse(readable).input);
    EXPECT_FALSE(alsaPortUse(readable).output);
    EXPECT_TRUE(alsaPortUse(writable).output);
    EXPECT_TRUE(alsaPortUse(readable | writable).input && alsaPortUse(readable | writable).output);
    EXPECT_FALSE(alsaPortUse(SND_SEQ_PORT_CAP_READ).input) << "no subscription, no device";
    EXPECT_FALSE(alsaPortUse(readable | writable | SND_SEQ_PORT_CAP_NO_EXPORT).input);
}

TEST(AlsaEvents, ShortMessagesSurviveTheRoundTripThroughEvents) {
    AlsaEventEncoder encoder;
    AlsaEventDecoder decoder;
    const std::vector<Bytes> messages = {{0x90, 0x3C, 0x40},
                                         {0x80, 0x3C, 0x00},
                                         {0x95, 0x3C, 0x00},
                                         {0xA1, 0x10, 0x20},
                                         {0xB2, 0x07, 0x64},
                                         {0xC3, 0x05},
                                         {0xD4, 0x33},
                                         {0xE5, 0x00, 0x40},
                                         {0xE5, 0x7F, 0x7F},
                                         {0xF2, 0x01, 0x02},
                                         {0xF3, 0x04},
                                         {0xF8},
                                         {0xFA},
                                         {0xFE},
                                         {0xF6}};
    for (const Bytes& message : messages) {
        snd_seq_event_t event;
        ASSERT_TRUE(encoder.encodeMessage(message.data(), message.size(), event))
            << int(message[0]);
        Bytes decoded;
        ASSERT_TRUE(decoder.decode(event, decoded)) << int(message[0]);
        EXPECT_EQ(message, decoded) << int(message[0]);
    }
}

TEST(AlsaEvents, EachMessageIsEncodedOnItsOwn) {
    AlsaEventEncoder encoder;
    AlsaEventDecoder decoder;
    snd_seq_event_t event;
    const Bytes half{0x90, 0x3C};
    EXPECT_FALSE(encoder.encodeMessage(half.data(), half.size(), event)) << "incomplete";
    const Bytes note{0x91, 0x3E, 0x50};
    ASSERT_TRUE(encoder.encodeMessage(note.data(), note.size(), event));
    EXPECT_EQ(SND_SEQ_EVENT_NOTEON, event.type);
    EXPECT_EQ(1, event.data.note.channel) << "nothing carried over from the incomplete message";
    Bytes first, second;
    ASSERT_TRUE(decoder.decode(event, first));
    ASSERT_TRUE(decoder.decode(event, second));
    EXPECT_EQ(note, second) << "no running status between decoded events";
}

TEST(AlsaEvents, SysexPiecesTravelAsTheyAre) {
    const Bytes piece{0xF0, 0x43, 0x10, 0x4C};
    snd_seq_event_t event;
    AlsaEventEncoder::encodeSysex(piece.data(), piece.size(), event);
    EXPECT_EQ(SND_SEQ_EVENT_SYSEX, event.type);
    EXPECT_EQ(SND_SEQ_EVENT_LENGTH_VARIABLE, event.flags & SND_SEQ_EVENT_LENGTH_MASK);
    AlsaEventDecoder decoder;
    Bytes decoded{0x01};
    ASSERT_TRUE(decoder.decode(event, decoded));
    EXPECT_EQ((Bytes{0x01, 0xF0, 0x43, 0x10, 0x4C}), decoded) << "appended";

    snd_seq_event_t announcement;
    snd_seq_ev_clear(&announcement);
    announcement.type = SND_SEQ_EVENT_PORT_EXIT;
    EXPECT_FALSE(decoder.decode(announcement, decoded));
}

TEST(AlsaSequencer, OpensOrSaysWhyNot) {
    std::string failure;
    const auto sequencer = AlsaSequencer::open(failure);
    if (AlsaBackend::sequencerPresent()) {
        EXPECT_TRUE(sequencer) << failure;
        return;
    }
    EXPECT_FALSE(sequencer);
    EXPECT_NE(std::string::npos, failure.find("ALSA sequencer")) << failure;
    AlsaBackend backend;
    EXPECT_TRUE(backend.deviceNames(Direction::Input).empty());
    std::unique_ptr<MidiBackendOutput> output;
    EXPECT_EQ(MMSYSERR_NODRIVER, backend.openOutput(0, output));
}
