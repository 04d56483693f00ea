#include "AlsaBackend.h"

#include "AlsaSequencer.h"
#include "MidiBytes.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>

namespace dorvo::winmm {

namespace {

// A system-exclusive piece larger than this leaves in several events, so that one event never
// needs more of the sequencer's memory pool than a client has by default.
constexpr std::size_t kMaxSysexEvent = 4096;

using AlsaInput = ConnectionInput<AlsaSequencer, AlsaInputPort>;

class AlsaOutput final : public MidiBackendOutput, private MidiOutputSplitter::Listener {
public:
    AlsaOutput(std::shared_ptr<AlsaSequencer> sequencer, AlsaOutputPort* port)
        : m_sequencer(std::move(sequencer)), m_port(port) {}
    ~AlsaOutput() override { m_sequencer->closeOutput(m_port); }

    MMRESULT sendShort(const std::uint8_t* bytes, std::size_t count) override {
        std::lock_guard lock(m_port->producerMutex);
        if (isGone())
            return MIDIERR_NODEVICE;
        return sendMessage(bytes, count);
    }

    MMRESULT sendLong(const std::uint8_t* bytes, std::size_t count,
                      SendCancellation& cancel) override {
        std::lock_guard lock(m_port->producerMutex);
        if (isGone())
            return MIDIERR_NODEVICE;
        m_cancel = &cancel;
        m_result = MMSYSERR_NOERROR;
        m_port->splitter.split(bytes, count, *this);
        m_cancel = nullptr;
        return m_result;
    }

    void resetStream() override {
        std::lock_guard lock(m_port->producerMutex);
        m_port->splitter.reset();
    }

    bool isGone() const override { return m_port->gone.load(); }

private:
    MMRESULT sendMessage(const std::uint8_t* bytes, std::size_t count) {
        snd_seq_event_t event;
        if (!m_port->encoder.encodeMessage(bytes, count, event))
            return MMSYSERR_INVALPARAM;
        return m_sequencer->send(*m_port, event);
    }

    bool message(const std::uint8_t* bytes, std::size_t count) override {
        m_result = sendMessage(bytes, count);
        return m_result == MMSYSERR_NOERROR && !m_cancel->cancelled();
    }

    bool sysexPiece(const std::uint8_t* bytes, std::size_t count) override {
        return sendInPieces(bytes, count, kMaxSysexEvent,
                            [&](const std::uint8_t* piece, std::size_t size) {
                                snd_seq_event_t event;
                                AlsaEventEncoder::encodeSysex(piece, size, event);
                                m_result = m_sequencer->send(*m_port, event);
                                return m_result == MMSYSERR_NOERROR && !m_cancel->cancelled();
                            });
    }

    const std::shared_ptr<AlsaSequencer> m_sequencer;
    AlsaOutputPort* const m_port;
    // State of the send in progress, under the port's producer lock.
    SendCancellation* m_cancel = nullptr;
    MMRESULT m_result = MMSYSERR_NOERROR;
};

} // namespace

AlsaBackend::AlsaBackend() {
    m_sequencer = AlsaSequencer::open(m_failure);
}

AlsaBackend::~AlsaBackend() = default;

bool AlsaBackend::sequencerPresent() {
    const int fd = ::open("/dev/snd/seq", O_RDWR | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

std::vector<std::string> AlsaBackend::deviceNames(Direction direction) {
    std::vector<std::string> names;
    if (!m_sequencer)
        return names;
    for (const AlsaDevice& device : m_sequencer->devices(direction))
        names.push_back(device.name);
    return names;
}

MMRESULT AlsaBackend::openInput(UINT index, MidiInputSink& sink,
                                std::unique_ptr<MidiBackendInput>& input) {
    if (!m_sequencer)
        return MMSYSERR_NODRIVER;
    const auto devices = m_sequencer->devices(Direction::Input);
    if (index >= devices.size())
        return MMSYSERR_BADDEVICEID;
    AlsaInputPort* port = nullptr;
    if (const MMRESULT result = m_sequencer->openInput(devices[index], sink, port);
        result != MMSYSERR_NOERROR)
        return result;
    input = std::make_unique<AlsaInput>(m_sequencer, port);
    return MMSYSERR_NOERROR;
}

MMRESULT AlsaBackend::openOutput(UINT index, std::unique_ptr<MidiBackendOutput>& output) {
    if (!m_sequencer)
        return MMSYSERR_NODRIVER;
    const auto devices = m_sequencer->devices(Direction::Output);
    if (index >= devices.size())
        return MMSYSERR_BADDEVICEID;
    AlsaOutputPort* port = nullptr;
    if (const MMRESULT result = m_sequencer->openOutput(devices[index], port);
        result != MMSYSERR_NOERROR)
        return result;
    output = std::make_unique<AlsaOutput>(m_sequencer, port);
    return MMSYSERR_NOERROR;
}

} // namespace dorvo::winmm
