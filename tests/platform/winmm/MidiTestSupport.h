// Helpers shared by the MIDI layer's tests: device lookup by name, input and output buffers,
// a fixture that closes what a test left open, and a capture of printed warnings.
#pragma once

#include "MidiCallbackLog.h"

#include <dorvo/mmsystem.h>

#include <QtGlobal>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <list>
#include <mutex>
#include <string>
#include <vector>

namespace dorvo2test {

inline constexpr UINT kNoDevice = UINT(-1);

// A header's flags as the layer's threads publish them (an application that polls them instead
// of waiting for the callback must read them atomically too).
inline DWORD flagsOf(MIDIHDR& header) {
    return std::atomic_ref<DWORD>(header.dwFlags).load();
}

std::vector<std::string> inputNames();
std::vector<std::string> outputNames();
// The id of the first device of that name, or kNoDevice.
UINT idOf(const std::vector<std::string>& names, const std::string& name);
// A system-exclusive message of `total` bytes, F0 and F7 included, with varied data bytes.
std::vector<std::uint8_t> sysex(std::size_t total, std::uint8_t seed = 0);

// Input buffers of one size, prepared and queued in order.
class InputBuffers {
public:
    InputBuffers(std::size_t count, std::size_t size);
    void queue(HMIDIIN in);
    void unprepare(HMIDIIN in);
    MIDIHDR* header(std::size_t i) { return &m_headers[i]; }
    std::size_t count() const { return m_headers.size(); }

private:
    std::vector<std::vector<char>> m_data;
    std::vector<MIDIHDR> m_headers;
};

struct OutputBuffer {
    explicit OutputBuffer(std::vector<std::uint8_t> content);
    std::vector<std::uint8_t> bytes;
    MIDIHDR header{};
};

// Collects the warnings printed while it lives.
class WarningCapture {
public:
    WarningCapture();
    ~WarningCapture();
    std::vector<std::string> warnings() const;
    // How many warnings contain `text`.
    long count(const std::string& text) const;

private:
    static void handler(QtMsgType type, const QMessageLogContext&, const QString& text);
    static inline std::atomic<QtMessageHandler> s_previous{nullptr};
    static inline std::mutex s_mutex;
    static inline std::vector<std::string> s_warnings;
};

// Opens devices by name with a callback log, and at the end resets and closes whatever the
// test left open. Logs and buffers belong to the fixture, so they outlive those handles.
class MidiLayerFixture : public ::testing::Test {
protected:
    void TearDown() override;

    HMIDIIN openInput(const std::string& name, MidiCallbackLog& log);
    HMIDIOUT openOutput(const std::string& name, MidiCallbackLog& log);
    MidiCallbackLog& newLog() { return m_logs.emplace_back(); }
    InputBuffers& newBuffers(std::size_t count, std::size_t size) {
        return m_buffers.emplace_back(count, size);
    }
    // The test closed it itself.
    void forget(HMIDIIN in) { std::erase(m_inputs, in); }
    void forget(HMIDIOUT out) { std::erase(m_outputs, out); }

private:
    std::list<MidiCallbackLog> m_logs;
    std::list<InputBuffers> m_buffers;
    std::vector<HMIDIIN> m_inputs;
    std::vector<HMIDIOUT> m_outputs;
};

} // namespace dorvo2test
