#include "AlsaLibrarySequencer.h"

#include <QtGlobal>

#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <thread>

namespace dorvo::winmm {

namespace {

snd_lib_error_handler_t previousHandler = nullptr;

// libasound prints its own complaints on stderr; ours say the same in the program's log. A
// handler that was there before (a component may have set one) hears them too.
void reportAlsaError(const char* file, int line, const char* function, int error,
                     const char* format, ...) {
    char text[512];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    qDebug("ALSA: %s (%s:%d %s)", text, file, line, function);
    if (previousHandler)
        previousHandler(file, line, function, error, "%s", text);
}

void installErrorHandler() {
    static std::once_flag once;
    std::call_once(once, [] {
        // The default handler prints on stderr and is not passed on; another one is.
        const snd_lib_error_handler_t current = snd_lib_error;
        snd_lib_error_set_handler(nullptr);
        previousHandler = current == snd_lib_error ? nullptr : current;
        snd_lib_error_set_handler(&reportAlsaError);
    });
}

} // namespace

std::unique_ptr<AlsaLibrarySequencer> AlsaLibrarySequencer::open(std::string& failure) {
    installErrorHandler();
    snd_seq_t* sequencer = nullptr;
    const int result = snd_seq_open(&sequencer, "default", SND_SEQ_OPEN_DUPLEX, SND_SEQ_NONBLOCK);
    if (result < 0) {
        failure = std::string("the ALSA sequencer cannot be opened: ") + snd_strerror(result);
        return nullptr;
    }
    return std::unique_ptr<AlsaLibrarySequencer>(new AlsaLibrarySequencer(sequencer));
}

AlsaLibrarySequencer::~AlsaLibrarySequencer() {
    snd_seq_close(m_sequencer);
}

int AlsaLibrarySequencer::clientId() {
    return snd_seq_client_id(m_sequencer);
}

int AlsaLibrarySequencer::setClientName(const std::string& name) {
    return snd_seq_set_client_name(m_sequencer, name.c_str());
}

int AlsaLibrarySequencer::setInputPool(std::size_t events) {
    return snd_seq_set_client_pool_input(m_sequencer, events);
}

int AlsaLibrarySequencer::setInputBufferSize(std::size_t bytes) {
    return snd_seq_set_input_buffer_size(m_sequencer, bytes);
}

int AlsaLibrarySequencer::createPort(const std::string& name, unsigned int capability) {
    return snd_seq_create_simple_port(m_sequencer, name.c_str(), capability,
                                      SND_SEQ_PORT_TYPE_MIDI_GENERIC |
                                          SND_SEQ_PORT_TYPE_APPLICATION);
}

int AlsaLibrarySequencer::deletePort(int port) {
    return snd_seq_delete_simple_port(m_sequencer, port);
}

int AlsaLibrarySequencer::connectFrom(int ownPort, int client, int port) {
    return snd_seq_connect_from(m_sequencer, ownPort, client, port);
}

int AlsaLibrarySequencer::connectTo(int ownPort, int client, int port) {
    return snd_seq_connect_to(m_sequencer, ownPort, client, port);
}

std::vector<AlsaSequencerApi::Port> AlsaLibrarySequencer::ports() {
    std::vector<Port> found;
    snd_seq_client_info_t* client = nullptr;
    snd_seq_port_info_t* port = nullptr;
    if (snd_seq_client_info_malloc(&client) < 0 || snd_seq_port_info_malloc(&port) < 0) {
        snd_seq_client_info_free(client);
        return found;
    }
    snd_seq_client_info_set_client(client, -1);
    while (snd_seq_query_next_client(m_sequencer, client) >= 0) {
        const int clientId = snd_seq_client_info_get_client(client);
        const bool kernel = snd_seq_client_info_get_type(client) == SND_SEQ_KERNEL_CLIENT;
        snd_seq_port_info_set_client(port, clientId);
        snd_seq_port_info_set_port(port, -1);
        while (snd_seq_query_next_port(m_sequencer, port) >= 0)
            found.push_back({clientId, snd_seq_port_info_get_port(port),
                             snd_seq_client_info_get_name(client), snd_seq_port_info_get_name(port),
                             snd_seq_port_info_get_capability(port), kernel});
    }
    snd_seq_port_info_free(port);
    snd_seq_client_info_free(client);
    return found;
}

int AlsaLibrarySequencer::outputDirect(snd_seq_event_t& event) {
    const int result = snd_seq_event_output_direct(m_sequencer, &event);
    return result < 0 ? result : 0;
}

int AlsaLibrarySequencer::input(snd_seq_event_t*& event) {
    return snd_seq_event_input(m_sequencer, &event);
}

std::vector<pollfd> AlsaLibrarySequencer::pollDescriptors() {
    const int count = snd_seq_poll_descriptors_count(m_sequencer, POLLIN);
    std::vector<pollfd> fds(std::size_t(count > 0 ? count : 0));
    if (!fds.empty())
        snd_seq_poll_descriptors(m_sequencer, fds.data(), unsigned(fds.size()), POLLIN);
    return fds;
}

AlsaSequencerApi::Clock::time_point AlsaLibrarySequencer::now() {
    return Clock::now();
}

void AlsaLibrarySequencer::sleepUntil(Clock::time_point when) {
    std::this_thread::sleep_until(when);
}

} // namespace dorvo::winmm
