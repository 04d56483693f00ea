#include "JackBackend.h"

#include "EventTime.h"
#include "JackClient.h"
#include "MidiBytes.h"

#include <QtGlobal>

#include <cstdlib>
#include <thread>

namespace dorvo::winmm {

namespace {

using namespace std::chrono_literals;

constexpr auto kReconnectInterval = 1s;
// System-exclusive bytes go into the ring in records of this size; the process callback may
// cut them smaller still to fit a period's buffer.
constexpr std::size_t kRecordBytes = 4096;
// A server that takes nothing for this long is stuck: the send fails instead of hanging.
constexpr auto kStallLimit = 5s;

using JackInput = ConnectionInput<JackClient, JackInputPort>;

class JackOutput final : public MidiBackendOutput, private MidiOutputSplitter::Listener {
public:
    JackOutput(std::shared_ptr<JackClient> client, JackOutputPort* port)
        : m_client(std::move(client)), m_port(port) {}
    ~JackOutput() override { m_client->closeOutput(m_port); }

    MMRESULT sendShort(const std::uint8_t* bytes, std::size_t count) override {
        std::lock_guard lock(m_port->producerMutex);
        if (isGone())
            return MIDIERR_NODEVICE;
        m_cancel = nullptr;
        return writeRecord(0, bytes, count);
    }

    MMRESULT sendLong(const std::uint8_t* bytes, std::size_t count,
                      SendCancellation& cancel) override {
        std::lock_guard lock(m_port->producerMutex);
        if (isGone())
            return MIDIERR_NODEVICE;
        m_cancel = &cancel;
        m_result = MMSYSERR_NOERROR;
        m_cancelled = false;
        if (m_port->splitter.split(bytes, count, *this))
            m_result = waitUntilTaken();
        m_cancel = nullptr;
        return m_cancelled ? MMSYSERR_NOERROR : m_result;
    }

    void resetStream() override {
        std::lock_guard lock(m_port->producerMutex);
        m_port->splitter.reset();
    }

    bool isGone() const override { return m_client->isShutDown() || m_port->gone.load(); }

private:
    bool message(const std::uint8_t* bytes, std::size_t count) override {
        m_result = writeRecord(0, bytes, count);
        return m_result == MMSYSERR_NOERROR && !m_cancelled;
    }

    bool sysexPiece(const std::uint8_t* bytes, std::size_t count) override {
        return sendInPieces(bytes, count, kRecordBytes,
                            [&](const std::uint8_t* piece, std::size_t size) {
                                m_result = writeRecord(kSysexPiece, piece, size);
                                return m_result == MMSYSERR_NOERROR && !m_cancelled;
                            });
    }

    MMRESULT writeRecord(std::uint32_t flags, const std::uint8_t* bytes, std::size_t count) {
        const OutputRecordHeader header{flags | std::uint32_t(count),
                                        m_client->departureFrame(currentEventTime())};
        return waitWhile([&] { return !m_port->ring.write(&header, sizeof header, bytes, count); });
    }

    // The message counts as sent once the process callback has put all of it into the port's
    // buffers.
    MMRESULT waitUntilTaken() {
        const std::uint64_t written = m_port->ring.totalWritten();
        return waitWhile([&] { return m_port->ring.totalRead() < written; });
    }

    // Polls `busy` until it is false, giving up when the device goes, the send is cancelled or
    // the server stops taking bytes.
    template <class Busy> MMRESULT waitWhile(Busy busy) {
        std::uint64_t lastRead = m_port->ring.totalRead();
        auto lastProgress = std::chrono::steady_clock::now();
        while (busy()) {
            if (isGone())
                return MIDIERR_NODEVICE;
            if (m_cancel && m_cancel->cancelled()) {
                m_cancelled = true;
                return MMSYSERR_NOERROR;
            }
            const auto now = std::chrono::steady_clock::now();
            if (const std::uint64_t read = m_port->ring.totalRead(); read != lastRead) {
                lastRead = read;
                lastProgress = now;
            } else if (now - lastProgress > kStallLimit) {
                qWarning("MIDI output \"%s\": the JACK server takes no data",
                         m_port->deviceName.c_str());
                return MMSYSERR_ERROR;
            }
            std::this_thread::sleep_for(1ms);
        }
        return MMSYSERR_NOERROR;
    }

    const std::shared_ptr<JackClient> m_client;
    JackOutputPort* const m_port;
    // State of the send in progress, under the port's producer lock.
    SendCancellation* m_cancel = nullptr;
    MMRESULT m_result = MMSYSERR_NOERROR;
    bool m_cancelled = false;
};

JackBackend* s_processBackend = nullptr;

void closeClientAtExit() {
    if (s_processBackend)
        s_processBackend->closeAtExit();
}

} // namespace

JackBackend::JackBackend() {
    client();
}

void JackBackend::registerCloseAtExit() {
    s_processBackend = this;
    std::atexit(&closeClientAtExit);
}

void JackBackend::closeAtExit() {
    std::lock_guard lock(m_mutex);
    m_exiting = true; // no reconnection any more
    if (m_client)
        m_client->closeAtExit();
}

JackBackend::~JackBackend() = default;

bool JackBackend::isConnected() {
    const auto current = client();
    return current && !current->isShutDown();
}

std::string JackBackend::failure() {
    std::lock_guard lock(m_mutex);
    return m_failure;
}

std::shared_ptr<JackClient> JackBackend::client() {
    std::lock_guard lock(m_mutex);
    const bool usable = m_client && !m_client->isShutDown();
    const auto now = std::chrono::steady_clock::now();
    const bool attempted = m_lastAttempt != std::chrono::steady_clock::time_point{};
    if (!usable && !m_exiting && (!attempted || now - m_lastAttempt >= kReconnectInterval)) {
        m_lastAttempt = now;
        std::string failure;
        if (auto fresh = JackClient::connect(failure)) {
            m_client = std::move(fresh);
            m_failure.clear();
        } else {
            m_failure = failure;
        }
    }
    return m_client;
}

std::vector<std::string> JackBackend::deviceNames(Direction direction) {
    const auto current = client();
    return current ? current->portNames(direction) : std::vector<std::string>{};
}

MMRESULT JackBackend::openInput(UINT index, MidiInputSink& sink,
                                std::unique_ptr<MidiBackendInput>& input) {
    const auto current = client();
    if (!current)
        return MMSYSERR_NODRIVER;
    const auto names = current->portNames(Direction::Input);
    if (index >= names.size())
        return MMSYSERR_BADDEVICEID;
    JackInputPort* port = nullptr;
    if (const MMRESULT result = current->openInput(names[index], sink, port);
        result != MMSYSERR_NOERROR)
        return result;
    input = std::make_unique<JackInput>(current, port);
    return MMSYSERR_NOERROR;
}

MMRESULT JackBackend::openOutput(UINT index, std::unique_ptr<MidiBackendOutput>& output) {
    const auto current = client();
    if (!current)
        return MMSYSERR_NODRIVER;
    const auto names = current->portNames(Direction::Output);
    if (index >= names.size())
        return MMSYSERR_BADDEVICEID;
    JackOutputPort* port = nullptr;
    if (const MMRESULT result = current->openOutput(names[index], port); result != MMSYSERR_NOERROR)
        return result;
    output = std::make_unique<JackOutput>(current, port);
    return MMSYSERR_NOERROR;
}

} // namespace dorvo::winmm
