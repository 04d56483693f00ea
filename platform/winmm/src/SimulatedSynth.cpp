#include "SimulatedSynth.h"

#include <algorithm>
#include <numeric>

namespace dorvo::winmm {

namespace {

constexpr std::uint8_t kSysexStart = 0xF0;
constexpr std::uint8_t kSysexEnd = 0xF7;
constexpr std::uint8_t kFirstRealTime = 0xF8;
constexpr std::uint8_t kManufacturer = 0x7D;
constexpr std::uint8_t kModel = 0x31;
constexpr std::uint8_t kOwnDevice = 0x00;
constexpr std::uint8_t kAnyDevice = 0x7F;
constexpr std::uint8_t kAllBlocks = 0x7F;

constexpr std::uint8_t kDumpRequest = 0x10;
constexpr std::uint8_t kBlockDump = 0x11;
constexpr std::uint8_t kParameterChange = 0x12;
constexpr std::uint8_t kAcknowledge = 0x13;

constexpr std::uint8_t kStored = 0;
constexpr std::uint8_t kChecksumWrong = 1;
constexpr std::uint8_t kMalformed = 2;

// Offsets within a message: F0 7D 31 dd cc ...
constexpr std::size_t kHeaderSize = 5;
constexpr std::size_t kCommandAt = 4;
constexpr std::size_t kBlockAt = 5;

// Nothing of the protocol is this long; a stream without F7 must not grow without end.
constexpr std::size_t kMaxMessageSize = 4096;

// MIDI carries 3125 bytes per second on a cable.
constexpr double kWireBytesPerSecond = 3125.0;

std::vector<std::uint8_t> header(std::uint8_t command) {
    return {kSysexStart, kManufacturer, kModel, kOwnDevice, command};
}

} // namespace

SimulatedSynth::SimulatedSynth(virtualmidi::SynthTiming timing)
    : m_timing(timing), m_memory(factoryPreset()) {
    m_thread = std::thread([this] { run(); });
}

SimulatedSynth::~SimulatedSynth() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

const SimulatedSynth::Memory& SimulatedSynth::factoryPreset() {
    // "Demo Brass": oscillators, filter, envelopes.
    static const Memory preset = {{
        {0, 2, 100, 0, 2, 70, 90, 0},
        {0, 72, 24, 88, 64, 10, 20, 0},
        {12, 60, 96, 30, 8, 50, 40, 30},
    }};
    return preset;
}

void SimulatedSynth::restorePreset() {
    std::lock_guard lock(m_mutex);
    m_memory = factoryPreset();
    m_assembly.clear();
    m_jobs.clear();
    ++m_generation;
}

SimulatedSynth::Memory SimulatedSynth::memory() const {
    std::lock_guard lock(m_mutex);
    return m_memory;
}

void SimulatedSynth::receive(const virtualmidi::SentMessage& message,
                             virtualmidi::DevicePort& port) {
    {
        std::lock_guard lock(m_mutex);
        collect(message.bytes.data(), message.bytes.size(), port);
    }
    m_wake.notify_all();
}

void SimulatedSynth::portGone(virtualmidi::DevicePort& port) {
    std::lock_guard lock(m_mutex);
    std::erase_if(m_jobs, [&](const Job& job) { return job.port == &port; });
    m_assembly.clear();
    ++m_generation;
}

void SimulatedSynth::collect(const std::uint8_t* bytes, std::size_t count,
                             virtualmidi::DevicePort& port) {
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t byte = bytes[i];
        if (byte == kSysexStart) {
            m_assembly.assign(1, byte);
        } else if (m_assembly.empty() || byte >= kFirstRealTime) {
            continue; // outside a message, or real time inside one: nothing for the synth
        } else if (byte == kSysexEnd) {
            m_assembly.push_back(byte);
            m_jobs.push_back({std::move(m_assembly), &port});
            m_assembly.clear();
        } else if (byte > 0x7F || m_assembly.size() >= kMaxMessageSize) {
            m_assembly.clear(); // another status byte cut the message short
        } else {
            m_assembly.push_back(byte);
        }
    }
}

std::vector<std::vector<std::uint8_t>>
SimulatedSynth::answer(const std::vector<std::uint8_t>& message) {
    if (message.size() < kHeaderSize + 1 || message[1] != kManufacturer || message[2] != kModel ||
        (message[3] != kOwnDevice && message[3] != kAnyDevice))
        return {};
    const std::uint8_t command = message[kCommandAt];
    const std::uint8_t block = message.size() > kBlockAt + 1 ? message[kBlockAt] : 0xFF;
    if (command == kDumpRequest && message.size() == 7) {
        if (block == kAllBlocks) {
            std::vector<std::vector<std::uint8_t>> dumps;
            for (int b = 0; b < kBlocks; ++b)
                dumps.push_back(dump(b));
            return dumps;
        }
        if (block < kBlocks)
            return {dump(block)};
        return {};
    }
    if (command == kBlockDump && message.size() > kBlockAt + 1) {
        std::vector<std::uint8_t> acknowledge = header(kAcknowledge);
        acknowledge.insert(acknowledge.end(), {block, storeDump(message, block), kSysexEnd});
        return {acknowledge};
    }
    if (command == kParameterChange && message.size() == 9 && block < kBlocks &&
        message[6] < kValuesPerBlock)
        m_memory[block][message[6]] = message[7];
    return {};
}

std::vector<std::uint8_t> SimulatedSynth::dump(int block) const {
    std::vector<std::uint8_t> bytes = header(kBlockDump);
    // Room for the whole dump at once: block, count, values, checksum and the end byte.
    bytes.reserve(bytes.size() + 2 + m_memory[block].size() + 2);
    bytes.push_back(std::uint8_t(block));
    bytes.push_back(kValuesPerBlock);
    bytes.insert(bytes.end(), m_memory[block].begin(), m_memory[block].end());
    const unsigned sum = std::accumulate(bytes.begin() + kBlockAt, bytes.end(), 0u);
    bytes.push_back(std::uint8_t((128 - sum % 128) % 128));
    bytes.push_back(kSysexEnd);
    return bytes;
}

std::uint8_t SimulatedSynth::storeDump(const std::vector<std::uint8_t>& message, int block) {
    // F0 7D 31 dd 11 bb nn v1 ... vnn ck F7
    const std::size_t expectedSize = kBlockAt + 2 + kValuesPerBlock + 2;
    if (block >= kBlocks || message.size() != expectedSize || message[6] != kValuesPerBlock)
        return kMalformed;
    const unsigned sum = std::accumulate(message.begin() + kBlockAt, message.end() - 1, 0u);
    if (sum % 128 != 0)
        return kChecksumWrong;
    std::copy_n(message.begin() + 7, kValuesPerBlock, m_memory[block].begin());
    return kStored;
}

void SimulatedSynth::run() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stopping || !m_jobs.empty(); });
        if (m_stopping)
            return;
        const Job job = std::move(m_jobs.front());
        m_jobs.pop_front();
        const std::uint64_t generation = m_generation;
        if (!pause(lock, m_timing.processingDelay))
            return;
        if (generation != m_generation)
            continue;
        for (const auto& bytes : answer(job.message)) {
            // An answer is complete at the receiver once its last byte has crossed the wire.
            if (!pause(lock, wireTime(bytes.size())))
                return;
            if (generation != m_generation)
                break;
            job.port->emitBytes(bytes.data(), bytes.size());
        }
    }
}

bool SimulatedSynth::pause(std::unique_lock<std::mutex>& lock, std::chrono::microseconds duration) {
    const auto deadline = std::chrono::steady_clock::now() + duration;
    return !m_wake.wait_until(lock, deadline, [this] { return m_stopping; });
}

std::chrono::microseconds SimulatedSynth::wireTime(std::size_t bytes) const {
    const double factor = m_timing.wireSpeedFactor > 0 ? m_timing.wireSpeedFactor : 1.0;
    return std::chrono::microseconds(
        static_cast<std::int64_t>(double(bytes) * 1e6 / (kWireBytesPerSecond * factor)));
}

} // namespace dorvo::winmm
