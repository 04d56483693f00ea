#include "JackNoteProbe.h"

#include <jack/midiport.h>

#include <algorithm>
#include <chrono>
#include <thread>

namespace dorvo2test {

namespace {

// Velocity 0 would make a note-on a note-off; the number's low six bits go in velocity - 1.
void encode(std::size_t note, jack_midi_data_t bytes[3]) {
    bytes[0] = jack_midi_data_t(0x90 | (note >> 13 & 0x0F));
    bytes[1] = jack_midi_data_t(note >> 6 & 0x7F);
    bytes[2] = jack_midi_data_t((note & 0x3F) + 1);
}

bool decode(const jack_midi_event_t& event, std::size_t& note) {
    if (event.size != 3 || (event.buffer[0] & 0xF0) != 0x90 || event.buffer[2] == 0)
        return false;
    note = std::size_t(event.buffer[0] & 0x0F) << 13 | std::size_t(event.buffer[1]) << 6 |
           std::size_t(event.buffer[2] - 1);
    return true;
}

} // namespace

JackNoteProbe::JackNoteProbe(const char* name, int returnPorts)
    : m_sentFrame(new std::atomic<jack_nframes_t>[kMaxNotes]) {
    jack_status_t status{};
    m_client = jack_client_open(name, JackNoStartServer, &status);
    if (m_client == nullptr)
        return;
    m_out = jack_port_register(m_client, "out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    bool registered = m_out != nullptr;
    for (int index = 0; index < returnPorts; ++index) {
        auto back = std::make_unique<ReturnPort>();
        const std::string portName = "back_" + std::to_string(index + 1);
        back->port = jack_port_register(m_client, portName.c_str(), JACK_DEFAULT_MIDI_TYPE,
                                        JackPortIsInput, 0);
        back->times.reset(new std::atomic<std::uint32_t>[kMaxNotes]);
        back->firstFrame.reset(new std::atomic<jack_nframes_t>[kMaxNotes]);
        registered = registered && back->port != nullptr;
        m_returns.push_back(std::move(back));
    }
    if (!registered || jack_set_process_callback(m_client, &JackNoteProbe::process, this) != 0 ||
        jack_activate(m_client) != 0) {
        jack_client_close(m_client);
        m_client = nullptr;
    }
}

JackNoteProbe::~JackNoteProbe() {
    if (m_client == nullptr)
        return;
    jack_deactivate(m_client);
    jack_client_close(m_client);
}

std::string JackNoteProbe::outPortName() const {
    return m_out ? jack_port_name(m_out) : "";
}

std::string JackNoteProbe::backPortName(int index) const {
    return m_returns.at(std::size_t(index))->port ? jack_port_name(m_returns[index]->port) : "";
}

jack_nframes_t JackNoteProbe::period() const {
    return m_client ? jack_get_buffer_size(m_client) : 0;
}

void JackNoteProbe::play(std::size_t count, std::size_t perPeriod, std::size_t everyPeriods) {
    m_playing.store(false);
    // The process callback may be in the middle of a period that still plays: let it end.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    m_count = std::min(count, kMaxNotes);
    m_perPeriod = std::max<std::size_t>(perPeriod, 1);
    m_everyPeriods = std::max<std::size_t>(everyPeriods, 1);
    for (std::size_t note = 0; note < kMaxNotes; ++note) {
        m_sentFrame[note] = 0;
        for (auto& back : m_returns) {
            back->times[note] = 0;
            back->firstFrame[note] = 0;
        }
    }
    for (auto& back : m_returns)
        back->arrivals = 0;
    m_played.store(0);
    m_periodsPlayed = 0;
    m_playing.store(true); // publishes the settings to the process callback
}

std::size_t JackNoteProbe::arrivals(int port) const {
    return m_returns.at(std::size_t(port))->arrivals.load(std::memory_order_acquire);
}

std::uint32_t JackNoteProbe::timesBack(int port, std::size_t note) const {
    return m_returns.at(std::size_t(port))->times[note].load(std::memory_order_acquire);
}

jack_nframes_t JackNoteProbe::sentAt(std::size_t note) const {
    return m_sentFrame[note].load(std::memory_order_acquire);
}

jack_nframes_t JackNoteProbe::backAt(int port, std::size_t note) const {
    return m_returns.at(std::size_t(port))->firstFrame[note].load(std::memory_order_acquire);
}

int JackNoteProbe::process(jack_nframes_t frames, void* arg) {
    auto* self = static_cast<JackNoteProbe*>(arg);
    const jack_nframes_t cycleStart = jack_last_frame_time(self->m_client);
    for (auto& back : self->m_returns)
        self->listen(*back, frames, cycleStart);
    void* out = jack_port_get_buffer(self->m_out, frames);
    jack_midi_clear_buffer(out);
    if (self->m_playing.load(std::memory_order_acquire))
        self->playPeriod(out, frames, cycleStart);
    return 0;
}

void JackNoteProbe::playPeriod(void* out, jack_nframes_t frames, jack_nframes_t cycleStart) {
    const std::uint64_t period = m_periodsPlayed.fetch_add(1, std::memory_order_relaxed);
    const std::size_t perPeriod = m_perPeriod.load(), everyPeriods = m_everyPeriods.load();
    std::size_t next = m_played.load(std::memory_order_relaxed);
    if (period % everyPeriods != 0 || next >= m_count)
        return;
    const jack_nframes_t spacing = jack_nframes_t(std::max<std::size_t>(frames / perPeriod, 1));
    // Shifts by a prime each period, so the offsets walk over the whole period.
    const jack_nframes_t shift = jack_nframes_t(period / everyPeriods * 37 % spacing);
    for (std::size_t k = 0; k < perPeriod && next < m_count; ++k, ++next) {
        const jack_nframes_t offset = jack_nframes_t(k) * spacing + shift;
        if (offset >= frames)
            break;
        jack_midi_data_t bytes[3];
        encode(next, bytes);
        if (jack_midi_event_write(out, offset, bytes, sizeof bytes) != 0)
            break;
        m_sentFrame[next].store(cycleStart + offset, std::memory_order_release);
    }
    m_played.store(next, std::memory_order_release);
}

void JackNoteProbe::listen(ReturnPort& back, jack_nframes_t frames, jack_nframes_t cycleStart) {
    void* buffer = jack_port_get_buffer(back.port, frames);
    const std::uint32_t count = jack_midi_get_event_count(buffer);
    for (std::uint32_t i = 0; i < count; ++i) {
        jack_midi_event_t event;
        std::size_t note = 0;
        if (jack_midi_event_get(&event, buffer, i) != 0 || !decode(event, note) ||
            note >= kMaxNotes)
            continue;
        if (back.times[note].fetch_add(1, std::memory_order_relaxed) == 0)
            back.firstFrame[note].store(cycleStart + event.time, std::memory_order_relaxed);
        back.arrivals.fetch_add(1, std::memory_order_release);
    }
}

} // namespace dorvo2test
