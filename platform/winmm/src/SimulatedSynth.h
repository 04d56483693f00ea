// The Demo Synth as the virtual backend simulates it: a parameter memory of three blocks that
// answers dump requests with dumps, stores dumps and parameter changes, and does so from a
// thread of its own with a processing delay and at (scaled) MIDI wire speed, as the hardware
// would. The protocol is examples/DemoSynth/PROTOCOL.md.
#pragma once

#include <dorvo/virtualmidi.h>

#include <array>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace dorvo::winmm {

class SimulatedSynth final : public virtualmidi::SimulatedDevice {
public:
    static constexpr int kBlocks = 3;
    static constexpr int kValuesPerBlock = 8;
    using Memory = std::array<std::array<std::uint8_t, kValuesPerBlock>, kBlocks>;

    explicit SimulatedSynth(virtualmidi::SynthTiming timing);
    ~SimulatedSynth() override;
    SimulatedSynth(const SimulatedSynth&) = delete;
    SimulatedSynth& operator=(const SimulatedSynth&) = delete;

    static const Memory& factoryPreset();

    // Any thread: back to the factory preset, with nothing waiting to be answered.
    void restorePreset();
    Memory memory() const;

    void receive(const virtualmidi::SentMessage& message, virtualmidi::DevicePort& port) override;
    void portGone(virtualmidi::DevicePort& port) override;

private:
    struct Job {
        std::vector<std::uint8_t> message; // one complete F0 ... F7 message
        virtualmidi::DevicePort* port = nullptr;
    };

    // Under m_mutex.
    void collect(const std::uint8_t* bytes, std::size_t count, virtualmidi::DevicePort& port);
    std::vector<std::vector<std::uint8_t>> answer(const std::vector<std::uint8_t>& message);
    std::vector<std::uint8_t> dump(int block) const;
    std::uint8_t storeDump(const std::vector<std::uint8_t>& message, int block);

    void run();
    // Waits without the lock; false when the synthesizer is shutting down.
    bool pause(std::unique_lock<std::mutex>& lock, std::chrono::microseconds duration);
    std::chrono::microseconds wireTime(std::size_t bytes) const;

    const virtualmidi::SynthTiming m_timing;

    mutable std::mutex m_mutex; // held while answers are emitted, so portGone waits for them
    std::condition_variable m_wake;
    Memory m_memory;
    std::vector<std::uint8_t> m_assembly; // the system-exclusive message under way
    std::deque<Job> m_jobs;
    std::uint64_t m_generation = 0; // advances when pending work is dropped
    bool m_stopping = false;
    std::thread m_thread;
};

} // namespace dorvo::winmm
