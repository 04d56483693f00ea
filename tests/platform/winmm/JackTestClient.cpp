#include "JackTestClient.h"

#include <jack/midiport.h>

#include <algorithm>

namespace dorvo2test {

JackTestClient::JackTestClient(const char* name) {
    jack_status_t status{};
    m_client = jack_client_open(name, JackNoStartServer, &status);
    if (m_client == nullptr)
        return;
    m_in = jack_port_register(m_client, "in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
    m_out = jack_port_register(m_client, "out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    jack_on_shutdown(
        m_client, [](void* self) { static_cast<JackTestClient*>(self)->m_serverGone = true; },
        this);
    if (m_in == nullptr || m_out == nullptr ||
        jack_set_process_callback(m_client, &JackTestClient::process, this) != 0 ||
        jack_activate(m_client) != 0)
        close();
}

JackTestClient::~JackTestClient() {
    close();
}

void JackTestClient::close() {
    if (m_client == nullptr)
        return;
    // When the server is gone libjack has already freed the client, and any call on it crashes.
    if (!m_serverGone) {
        jack_deactivate(m_client);
        jack_client_close(m_client);
    }
    m_client = nullptr;
}

std::string JackTestClient::inPortName() const {
    return m_in ? jack_port_name(m_in) : "";
}

std::string JackTestClient::outPortName() const {
    return m_out ? jack_port_name(m_out) : "";
}

void JackTestClient::play(std::vector<std::uint8_t> bytes, std::size_t piece) {
    m_playing = false;
    m_playBytes = std::move(bytes);
    m_playPiece = piece;
    m_playOffset = 0;
    m_playPeriods = 0;
    m_playing = true; // publishes the bytes to the process callback
}

int JackTestClient::process(jack_nframes_t frames, void* arg) {
    auto* self = static_cast<JackTestClient*>(arg);
    void* in = jack_port_get_buffer(self->m_in, frames);
    void* out = jack_port_get_buffer(self->m_out, frames);
    jack_midi_clear_buffer(out);
    self->m_received += jack_midi_get_event_count(in);
    if (self->m_thru) {
        const std::uint32_t count = jack_midi_get_event_count(in);
        for (std::uint32_t i = 0; i < count; ++i) {
            jack_midi_event_t event;
            if (jack_midi_event_get(&event, in, i) == 0)
                jack_midi_event_write(out, event.time, event.buffer, event.size);
        }
    }
    if (self->m_playing) {
        const std::size_t offset = self->m_playOffset.load();
        const std::size_t piece = std::min(self->m_playPiece, self->m_playBytes.size() - offset);
        if (piece > 0 &&
            jack_midi_event_write(out, 0, self->m_playBytes.data() + offset, piece) == 0) {
            self->m_playOffset = offset + piece;
            ++self->m_playPeriods;
        }
    }
    return 0;
}

} // namespace dorvo2test
