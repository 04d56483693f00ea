// Devices of a JACK server: the other clients' MIDI ports, by their full names.
#pragma once

#include "Backend.h"

#include <chrono>
#include <memory>
#include <mutex>
#include <string>

namespace dorvo::winmm {

class JackClient;

class JackBackend final : public MidiBackend {
public:
    // Connects at once. Without a server it lists no devices, and tries again (at most once a
    // second) when asked for them, so that a server started or restarted later is found.
    JackBackend();
    ~JackBackend() override;

    // For the process's backend: leave the server cleanly when the process ends.
    void registerCloseAtExit();
    void closeAtExit();

    bool isConnected();
    std::string failure();

    std::vector<std::string> deviceNames(Direction direction) override;
    MMRESULT openInput(UINT index, MidiInputSink& sink,
                       std::unique_ptr<MidiBackendInput>& input) override;
    MMRESULT openOutput(UINT index, std::unique_ptr<MidiBackendOutput>& output) override;

private:
    std::shared_ptr<JackClient> client();

    std::mutex m_mutex;
    std::shared_ptr<JackClient> m_client;
    std::string m_failure;
    std::chrono::steady_clock::time_point m_lastAttempt;
    bool m_exiting = false;
};

} // namespace dorvo::winmm
