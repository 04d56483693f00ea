#include "AlsaEvents.h"

namespace dorvo::winmm {

namespace {
// The longest message the encoder and decoder see apart from sysex: a 14-bit controller
// becomes two 3-byte messages, a parameter number four.
constexpr std::size_t kParserBuffer = 32;
} // namespace

std::string alsaDeviceName(std::string_view clientName, std::string_view portName) {
    std::string name(clientName);
    name += ':';
    name += portName;
    return name;
}

AlsaPortUse alsaPortUse(unsigned int capability) {
    AlsaPortUse use;
    if (capability & SND_SEQ_PORT_CAP_NO_EXPORT)
        return use;
    const unsigned int readable = SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ;
    const unsigned int writable = SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE;
    use.input = (capability & readable) == readable;
    use.output = (capability & writable) == writable;
    return use;
}

AlsaEventEncoder::AlsaEventEncoder() {
    if (snd_midi_event_new(kParserBuffer, &m_parser) < 0)
        m_parser = nullptr;
}

AlsaEventEncoder::~AlsaEventEncoder() {
    if (m_parser)
        snd_midi_event_free(m_parser);
}

bool AlsaEventEncoder::encodeMessage(const std::uint8_t* bytes, std::size_t count,
                                     snd_seq_event_t& event) {
    if (m_parser == nullptr || count == 0)
        return false;
    // Every message comes complete, with its status: nothing may carry over from the last.
    snd_midi_event_reset_encode(m_parser);
    snd_seq_ev_clear(&event);
    for (std::size_t i = 0; i < count; ++i) {
        if (snd_midi_event_encode_byte(m_parser, bytes[i], &event) == 1)
            return i + 1 == count && event.type != SND_SEQ_EVENT_NONE;
    }
    return false;
}

void AlsaEventEncoder::encodeSysex(const std::uint8_t* bytes, std::size_t count,
                                   snd_seq_event_t& event) {
    snd_seq_ev_clear(&event);
    snd_seq_ev_set_sysex(&event, unsigned(count), const_cast<std::uint8_t*>(bytes));
}

AlsaEventDecoder::AlsaEventDecoder() {
    if (snd_midi_event_new(kParserBuffer, &m_parser) < 0) {
        m_parser = nullptr;
        return;
    }
    snd_midi_event_no_status(m_parser, 1);
}

AlsaEventDecoder::~AlsaEventDecoder() {
    if (m_parser)
        snd_midi_event_free(m_parser);
}

bool AlsaEventDecoder::decode(const snd_seq_event_t& event, std::vector<std::uint8_t>& bytes) {
    if (event.type == SND_SEQ_EVENT_SYSEX) {
        const auto* data = static_cast<const std::uint8_t*>(event.data.ext.ptr);
        if (data == nullptr || event.data.ext.len == 0)
            return false;
        bytes.insert(bytes.end(), data, data + event.data.ext.len);
        return true;
    }
    if (m_parser == nullptr)
        return false;
    unsigned char buffer[kParserBuffer];
    snd_midi_event_reset_decode(m_parser);
    const long length = snd_midi_event_decode(m_parser, buffer, sizeof buffer, &event);
    if (length <= 0)
        return false;
    bytes.insert(bytes.end(), buffer, buffer + length);
    return true;
}

} // namespace dorvo::winmm
