// What the ALSA backend does without a live sequencer: device names, which ports are devices,
// and the conversion between MIDI bytes and sequencer events.
#pragma once

#include <alsa/asoundlib.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace dorvo::winmm {

// "client name:port name": no client or port numbers, which change from run to run.
std::string alsaDeviceName(std::string_view clientName, std::string_view portName);

// Whether another client's port, by its capability bits, is an input device (we can read from
// it) and an output device (we can write to it).
struct AlsaPortUse {
    bool input = false;
    bool output = false;
};
AlsaPortUse alsaPortUse(unsigned int capability);

// Complete short messages to events and system-exclusive pieces to raw sysex events.
class AlsaEventEncoder {
public:
    AlsaEventEncoder();
    ~AlsaEventEncoder();
    AlsaEventEncoder(const AlsaEventEncoder&) = delete;
    AlsaEventEncoder& operator=(const AlsaEventEncoder&) = delete;

    // One complete short message; false when it makes no event.
    bool encodeMessage(const std::uint8_t* bytes, std::size_t count, snd_seq_event_t& event);
    // A piece of a system-exclusive message, sent as it is; the event points at `bytes`.
    static void encodeSysex(const std::uint8_t* bytes, std::size_t count, snd_seq_event_t& event);

private:
    snd_midi_event_t* m_parser = nullptr;
};

// Events back to bytes: every status byte written out (no running status), sysex data as it
// came.
class AlsaEventDecoder {
public:
    AlsaEventDecoder();
    ~AlsaEventDecoder();
    AlsaEventDecoder(const AlsaEventDecoder&) = delete;
    AlsaEventDecoder& operator=(const AlsaEventDecoder&) = delete;

    // Appends the event's bytes; false for events that are no MIDI message (port and client
    // announcements, timer events).
    bool decode(const snd_seq_event_t& event, std::vector<std::uint8_t>& bytes);

private:
    snd_midi_event_t* m_parser = nullptr;
};

} // namespace dorvo::winmm
