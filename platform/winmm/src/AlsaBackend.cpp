#include "AlsaBackend.h"

#include "AlsaSequencer.h"
#include "MidiBytes.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>

namespace dorvo::winmm {

namespace {

using namespace std::chrono_literals;
using Clock = AlsaSequencerApi::Clock;

// A system-exclusive piece larger than this leaves in several events, so that one event never
// needs more of the sequencer's memory pool than a client has by default.
constexpr std::size_t kMaxSysexEvent = 4096;
// Hardware behind a kernel client: the bridge (snd-seq-midi) holds about 4 KiB and loses what
// does not fit, and the cable takes a byte every 320 microseconds (31250 baud, 10 bits a byte).
// Small pieces, never more than a quarter of the bridge's buffer waiting in it.
constexpr auto kCableByteTime = 320us;
constexpr std::size_t kPacedPiece = 256;
constexpr std::size_t kPacedInFlight = 1024;
// Waits are cut into slices this long, so that a cancelled send ends soon.
constexpr auto kWaitSlice = 20ms;

using AlsaInput = ConnectionInput<AlsaSequencer, AlsaInputPort>;

// When the bytes handed to a hardware port will have left on its cable, by the sequencer's
// clock.
class CablePace {
public:
    explicit CablePace(AlsaSequencerApi& api) : m_api(api) {}

    // Waits until `count` more bytes fit beside those still in the bridge's buffer; false when
    // cancelled first.
    bool waitForRoom(std::size_t count, const SendCancellation* cancel) {
        const auto allowed =
            kCableByteTime * long(kPacedInFlight - std::min(count, kPacedInFlight));
        return waitUntil(m_cableFree - allowed, cancel);
    }
    void handedOver(std::size_t count) {
        m_cableFree = std::max(m_cableFree, m_api.now()) + kCableByteTime * long(count);
    }
    // Waits until every byte handed over has left; false when cancelled first.
    bool waitUntilSent(const SendCancellation* cancel) { return waitUntil(m_cableFree, cancel); }

private:
    bool waitUntil(Clock::time_point when, const SendCancellation* cancel) {
        for (Clock::time_point now = m_api.now(); now < when; now = m_api.now()) {
            if (cancel && cancel->cancelled())
                return false;
            m_api.sleepUntil(std::min(when, now + kWaitSlice));
        }
        return true;
    }

    AlsaSequencerApi& m_api;
    Clock::time_point m_cableFree{};
};

class AlsaOutput final : public MidiBackendOutput, private MidiOutputSplitter::Listener {
public:
    AlsaOutput(std::shared_ptr<AlsaSequencer> sequencer, AlsaOutputPort* port)
        : m_sequencer(std::move(sequencer)), m_port(port), m_pace(m_sequencer->api()),
          m_paced(port->device.kernelClient) {}
    ~AlsaOutput() override { m_sequencer->closeOutput(m_port); }

    MMRESULT sendShort(const std::uint8_t* bytes, std::size_t count) override {
        std::lock_guard lock(m_port->producerMutex);
        if (isGone())
            return MIDIERR_NODEVICE;
        return sendMessage(bytes, count);
    }

    // To hardware, the send returns once the bytes have left on the cable: the driver's
    // pauses between chunks and its MOM_DONE then mean what they say.
    MMRESULT sendLong(const std::uint8_t* bytes, std::size_t count,
                      SendCancellation& cancel) override {
        std::lock_guard lock(m_port->producerMutex);
        if (isGone())
            return MIDIERR_NODEVICE;
        m_cancel = &cancel;
        m_result = MMSYSERR_NOERROR;
        m_port->splitter.split(bytes, count, *this);
        if (m_paced && m_result == MMSYSERR_NOERROR)
            m_pace.waitUntilSent(&cancel);
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
        if (m_paced)
            m_pace.waitForRoom(count, nullptr);
        const MMRESULT result = m_sequencer->send(*m_port, event);
        if (m_paced && result == MMSYSERR_NOERROR)
            m_pace.handedOver(count);
        return result;
    }

    bool message(const std::uint8_t* bytes, std::size_t count) override {
        m_result = sendMessage(bytes, count);
        return m_result == MMSYSERR_NOERROR && !m_cancel->cancelled();
    }

    bool sysexPiece(const std::uint8_t* bytes, std::size_t count) override {
        return sendInPieces(bytes, count, m_paced ? kPacedPiece : kMaxSysexEvent,
                            [&](const std::uint8_t* piece, std::size_t size) {
                                if (m_paced && !m_pace.waitForRoom(size, m_cancel))
                                    return false;
                                snd_seq_event_t event;
                                AlsaEventEncoder::encodeSysex(piece, size, event);
                                m_result = m_sequencer->send(*m_port, event);
                                if (m_paced && m_result == MMSYSERR_NOERROR)
                                    m_pace.handedOver(size);
                                return m_result == MMSYSERR_NOERROR && !m_cancel->cancelled();
                            });
    }

    const std::shared_ptr<AlsaSequencer> m_sequencer;
    AlsaOutputPort* const m_port;
    CablePace m_pace;
    const bool m_paced;
    // State of the send in progress, under the port's producer lock.
    SendCancellation* m_cancel = nullptr;
    MMRESULT m_result = MMSYSERR_NOERROR;
};

} // namespace

AlsaBackend::AlsaBackend() {
    m_sequencer = AlsaSequencer::open(m_failure);
}

AlsaBackend::AlsaBackend(std::unique_ptr<AlsaSequencerApi> api) {
    m_sequencer = AlsaSequencer::create(std::move(api), m_failure);
}

AlsaBackend::~AlsaBackend() = default;

bool AlsaBackend::sequencerPresent() {
    const int fd = ::open("/dev/snd/seq", O_RDWR | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

void AlsaBackend::refreshDevices(Direction direction) {
    if (!m_sequencer)
        return;
    std::vector<AlsaDevice> devices = m_sequencer->devices(direction);
    std::lock_guard lock(m_listMutex);
    m_lists[int(direction)] = std::move(devices);
    m_listed[int(direction)] = true;
}

void AlsaBackend::listOnce(Direction direction) {
    if (std::unique_lock lock(m_listMutex); !m_listed[int(direction)]) {
        lock.unlock();
        refreshDevices(direction);
    }
}

std::vector<std::string> AlsaBackend::deviceNames(Direction direction) {
    std::vector<std::string> names;
    if (!m_sequencer)
        return names;
    listOnce(direction);
    std::lock_guard lock(m_listMutex);
    for (const AlsaDevice& device : m_lists[int(direction)])
        names.push_back(device.name);
    return names;
}

bool AlsaBackend::currentDevice(Direction direction, UINT index, AlsaDevice& device) {
    {
        std::lock_guard lock(m_listMutex);
        const auto& list = m_lists[int(direction)];
        if (index >= list.size())
            return false;
        device = list[index];
    }
    const std::vector<AlsaDevice> now = m_sequencer->devices(direction);
    const AlsaDevice* sameName = nullptr;
    for (const AlsaDevice& candidate : now) {
        if (candidate.name != device.name)
            continue;
        if (candidate.client == device.client && candidate.port == device.port) {
            device = candidate;
            return true;
        }
        if (!sameName)
            sameName = &candidate;
    }
    if (!sameName)
        return false;
    device = *sameName;
    return true;
}

MMRESULT AlsaBackend::openInput(UINT index, MidiInputSink& sink,
                                std::unique_ptr<MidiBackendInput>& input) {
    if (!m_sequencer)
        return MMSYSERR_NODRIVER;
    listOnce(Direction::Input);
    AlsaDevice device;
    if (!currentDevice(Direction::Input, index, device))
        return MMSYSERR_BADDEVICEID;
    AlsaInputPort* port = nullptr;
    if (const MMRESULT result = m_sequencer->openInput(device, sink, port);
        result != MMSYSERR_NOERROR)
        return result;
    input = std::make_unique<AlsaInput>(m_sequencer, port);
    return MMSYSERR_NOERROR;
}

MMRESULT AlsaBackend::openOutput(UINT index, std::unique_ptr<MidiBackendOutput>& output) {
    if (!m_sequencer)
        return MMSYSERR_NODRIVER;
    listOnce(Direction::Output);
    AlsaDevice device;
    if (!currentDevice(Direction::Output, index, device))
        return MMSYSERR_BADDEVICEID;
    AlsaOutputPort* port = nullptr;
    if (const MMRESULT result = m_sequencer->openOutput(device, port); result != MMSYSERR_NOERROR)
        return result;
    output = std::make_unique<AlsaOutput>(m_sequencer, port);
    return MMSYSERR_NOERROR;
}

} // namespace dorvo::winmm
