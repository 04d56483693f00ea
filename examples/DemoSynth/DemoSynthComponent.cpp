#include "DemoSynthComponent.h"

#include "DemoSynthIds.h"

#include <ServerRegistration.h>
#include <StateFormat.h>
#include <WideText.h>

#include <algorithm>
#include <chrono>

using demosynth::Reply;
using examples::Bytes;

namespace {

const examples::ComponentClass kClass = {&CLSID_DemoSynth,
                                         &CLSID_DemoSynthPage,
                                         &IID_DemoSynthComponent,
                                         {'D', 'S', 'Y', 'N'},
                                         1,
                                         4096,
                                         true};

constexpr BYTE kToHardware = 1;
constexpr BYTE kFromHardware = 0;
// The protocol allows the synthesizer half a second for an answer; a lost one is asked again.
constexpr auto kAnswerTimeout = std::chrono::milliseconds(500);
constexpr int kAttempts = 2;
// Recall items are toggled one by one.
constexpr DWORD kToggleItems = 0x80000000u;
const QString kRecallItems = QStringLiteral("All;Oscillators;Filter;Envelopes");
const QString kIconRecallOff = QStringLiteral("DemoSynthRecallOff.png");
const QString kIconRecallOn = QStringLiteral("DemoSynthRecallOn.png");

// Recall item n (n >= 1) is bit n - 1 and stands for block n - 1; no bit means all blocks.
std::vector<int> selectedBlocks(DWORD recallMask) {
    std::vector<int> blocks;
    for (int block = 0; block < demosynth::kBlocks; ++block) {
        if (recallMask == 0 || (recallMask & (1u << block)))
            blocks.push_back(block);
    }
    return blocks;
}

QString statusText(HRESULT code) {
    switch (code) {
    case DEMOSYNTH_E_NOOUTPUT:
        return QStringLiteral("No MIDI output port is chosen for the Demo Synth");
    case DEMOSYNTH_E_NOINPUT:
        return QStringLiteral("No MIDI input port is chosen for the Demo Synth");
    case DEMOSYNTH_E_NOANSWER:
        return QStringLiteral("No answer from the synthesizer");
    case DEMOSYNTH_E_DAMAGED:
        return QStringLiteral("The synthesizer's data arrived damaged");
    case DEMOSYNTH_E_REFUSED:
        return QStringLiteral("The synthesizer refused the data");
    case DEMOSYNTH_E_SENDFAILED:
        return QStringLiteral("The MIDI output port could not send");
    case DEMOSYNTH_E_BUSY:
        return QStringLiteral("A synchronization of the Demo Synth is running already");
    case MP_SYNC_CANCELLED:
        return QStringLiteral("Synchronization cancelled");
    default:
        return examples::stateStatusText(code);
    }
}

} // namespace

DemoSynthComponent::DemoSynthComponent()
    : ExampleComponent(kClass), m_values(demosynth::initialValues()) {}

DemoSynthComponent::~DemoSynthComponent() = default;

void* DemoSynthComponent::findInterface(REFIID iid) {
    if (IsEqualIID(iid, IID_IMPDeviceSync2))
        return static_cast<IMPDeviceSync2*>(this);
    if (IsEqualIID(iid, IID_IMPDeviceSync))
        return static_cast<IMPDeviceSync*>(this);
    return ExampleComponent::findInterface(iid);
}

// ---- Values ----

demosynth::Values DemoSynthComponent::values() const {
    std::lock_guard lock(m_mutex);
    return m_values;
}

void DemoSynthComponent::setValue(int block, int index, int value) {
    if (block < 0 || block >= demosynth::kBlocks || index < 0 ||
        index >= demosynth::kValuesPerBlock)
        return;
    const BYTE clamped = demosynth::clampToRange(block, index, value);
    bool offline = false;
    {
        std::lock_guard lock(m_mutex);
        BYTE& stored = m_values[std::size_t(block)][std::size_t(index)];
        if (stored == clamped)
            return;
        stored = clamped;
        offline = m_offline;
    }
    setDirty();
    if (!offline) {
        const DWORD port = chosenPort(kOutput).number;
        const HRESULT hr =
            port ? host().sendSysex(port, demosynth::parameterChange(block, index, clamped))
                 : DEMOSYNTH_E_NOOUTPUT;
        std::lock_guard lock(m_mutex);
        m_sendProblem = SUCCEEDED(hr) ? QString() : statusText(hr);
    }
    notify(examples::kValuesChanged | examples::kActivity);
}

bool DemoSynthComponent::isOffline() const {
    std::lock_guard lock(m_mutex);
    return m_offline;
}

void DemoSynthComponent::setOffline(bool offline) {
    {
        std::lock_guard lock(m_mutex);
        if (m_offline == offline)
            return;
        m_offline = offline;
        m_sendProblem.clear();
    }
    setDirty();
    notify(examples::kSettingsChanged);
}

DWORD DemoSynthComponent::recallGroup() const {
    std::lock_guard lock(m_mutex);
    return m_recallGroup;
}

void DemoSynthComponent::setRecallGroup(DWORD group) {
    group = std::min(group, kMaxRecallGroup);
    {
        std::lock_guard lock(m_mutex);
        if (m_recallGroup == group)
            return;
        m_recallGroup = group;
    }
    setDirty();
    notify(examples::kSettingsChanged);
}

QString DemoSynthComponent::sendProblem() const {
    std::lock_guard lock(m_mutex);
    return m_sendProblem;
}

// ---- What arrives ----

void DemoSynthComponent::receive(const MPEVENT& event, const Bytes& longBytes) {
    if (event.type != MPEVENT_SYSEX)
        return;
    Bytes received;
    received.reserve(longBytes.size() + 1);
    received.push_back(0xF0);
    received.insert(received.end(), longBytes.begin(), longBytes.end());
    for (const Bytes& message : examples::splitSysex(received)) {
        const Reply reply = demosynth::parseReply(message);
        if (reply.kind == Reply::kParameterChange) {
            // Turned on the synthesizer's own panel: the editor follows.
            {
                std::lock_guard lock(m_mutex);
                m_values[std::size_t(reply.block)][std::size_t(reply.index)] = reply.value;
            }
            setDirty();
            notify(examples::kValuesChanged);
        } else if (reply.kind != Reply::kNone && m_running) {
            {
                std::lock_guard lock(m_syncMutex);
                m_replies.push_back(reply);
            }
            m_syncWake.notify_all();
        }
    }
}

// ---- Synchronization ----

HRESULT DemoSynthComponent::Synchronize(DWORD direction, IMPClientProgressHandler* progress,
                                        DWORD recallMask) {
    const BYTE way = BYTE(direction & 0xFF);
    if (way != kToHardware && way != kFromHardware)
        return E_INVALIDARG;
    if (m_running.exchange(true))
        return DEMOSYNTH_E_BUSY;
    {
        std::lock_guard lock(m_syncMutex);
        m_cancel = false;
        m_replies.clear();
    }
    const std::vector<int> blocks = selectedBlocks(recallMask);
    const HRESULT hr =
        way == kToHardware ? sendBlocks(blocks, progress) : receiveBlocks(blocks, progress);
    m_running = false;
    notify(examples::kActivity);
    return hr;
}

HRESULT DemoSynthComponent::receiveBlocks(const std::vector<int>& blocks,
                                          IMPClientProgressHandler* progress) {
    const DWORD out = chosenPort(kOutput).number;
    if (out == 0)
        return DEMOSYNTH_E_NOOUTPUT;
    if (chosenPort(kInput).number == 0)
        return DEMOSYNTH_E_NOINPUT;
    // The editor changes only once every block has arrived: a failed or cancelled transfer
    // leaves it as it was.
    demosynth::Values received = values();
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        if (cancelled())
            return MP_SYNC_CANCELLED;
        report(progress, i, blocks.size(),
               QStringLiteral("Requesting %1...").arg(demosynth::blockName(blocks[i])));
        Reply reply;
        const HRESULT hr =
            exchange(demosynth::dumpRequest(blocks[i]), out, Reply::kDump, blocks[i], &reply);
        if (hr != S_OK)
            return hr;
        received[std::size_t(blocks[i])] = reply.values;
    }
    {
        std::lock_guard lock(m_mutex);
        m_values = received;
    }
    setDirty();
    notify(examples::kValuesChanged);
    report(progress, blocks.size(), blocks.size(), QStringLiteral("Received from the synthesizer"));
    return S_OK;
}

HRESULT DemoSynthComponent::sendBlocks(const std::vector<int>& blocks,
                                       IMPClientProgressHandler* progress) {
    const DWORD out = chosenPort(kOutput).number;
    if (out == 0)
        return DEMOSYNTH_E_NOOUTPUT;
    if (chosenPort(kInput).number == 0)
        return DEMOSYNTH_E_NOINPUT; // the acknowledges pace the transfer
    const demosynth::Values toSend = values();
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        if (cancelled())
            return MP_SYNC_CANCELLED;
        report(progress, i, blocks.size(),
               QStringLiteral("Sending %1...").arg(demosynth::blockName(blocks[i])));
        Reply reply;
        const HRESULT hr = exchange(demosynth::blockDump(blocks[i], toSend[std::size_t(blocks[i])]),
                                    out, Reply::kAcknowledge, blocks[i], &reply);
        if (hr != S_OK)
            return hr;
        if (reply.value != 0)
            return DEMOSYNTH_E_REFUSED;
    }
    report(progress, blocks.size(), blocks.size(), QStringLiteral("Sent to the synthesizer"));
    return S_OK;
}

HRESULT DemoSynthComponent::exchange(const Bytes& message, DWORD port, Reply::Kind kind, int block,
                                     Reply* reply) {
    bool damaged = false;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        if (FAILED(host().sendSysex(port, message)))
            return cancelled() ? MP_SYNC_CANCELLED : DEMOSYNTH_E_SENDFAILED;
        if (waitForReply(kind, block, reply))
            return S_OK;
        if (cancelled())
            return MP_SYNC_CANCELLED;
        damaged = damaged || reply->kind == Reply::kDamagedDump;
    }
    return damaged ? DEMOSYNTH_E_DAMAGED : DEMOSYNTH_E_NOANSWER;
}

bool DemoSynthComponent::waitForReply(Reply::Kind kind, int block, Reply* reply) {
    const auto deadline = std::chrono::steady_clock::now() + kAnswerTimeout;
    std::unique_lock lock(m_syncMutex);
    for (;;) {
        if (!m_syncWake.wait_until(lock, deadline,
                                   [this] { return m_cancel || !m_replies.empty(); }))
            return false;
        if (m_cancel)
            return false;
        *reply = m_replies.front();
        m_replies.pop_front();
        if (reply->block != block)
            continue; // an answer to someone else, or a late one to an earlier question
        if (reply->kind == kind)
            return true;
        if (reply->kind == Reply::kDamagedDump && kind == Reply::kDump)
            return false; // ask again at once
    }
}

void DemoSynthComponent::report(IMPClientProgressHandler* progress, std::size_t done,
                                std::size_t total, const QString& message) const {
    if (progress)
        progress->ReportProgress(0, DWORD(done), DWORD(total), examples::wide(message));
}

HRESULT DemoSynthComponent::CancelSynchronize() {
    {
        std::lock_guard lock(m_syncMutex);
        m_cancel = true;
    }
    m_syncWake.notify_all();
    return S_OK;
}

void DemoSynthComponent::disconnecting() {
    // A transfer must not outlive the host it sends through.
    CancelSynchronize();
}

HRESULT DemoSynthComponent::GetStatusText(HRESULT result, LPWSTR* text) {
    if (!text)
        return E_POINTER;
    *text = nullptr;
    const QString description = statusText(result);
    if (description.isEmpty())
        return E_INVALIDARG;
    *text = examples::taskString(description);
    return *text ? S_OK : E_OUTOFMEMORY;
}

HRESULT DemoSynthComponent::GetIconURLs(LPWSTR* recallDisabledIcon, LPWSTR* recallEnabledIcon) {
    if (recallDisabledIcon)
        *recallDisabledIcon =
            examples::taskString(examples::fileUrlBesideLibrary(&kClass, kIconRecallOff));
    if (recallEnabledIcon)
        *recallEnabledIcon =
            examples::taskString(examples::fileUrlBesideLibrary(&kClass, kIconRecallOn));
    return S_OK;
}

HRESULT DemoSynthComponent::GetRecallInfo(DWORD* selectionMode, LPWSTR* itemNames, DWORD* group,
                                          BOOL* offline, DWORD* defaultMask) {
    if (selectionMode)
        *selectionMode = kToggleItems;
    if (group)
        *group = recallGroup();
    if (offline)
        *offline = isOffline() ? TRUE : FALSE;
    if (defaultMask)
        *defaultMask = 0;
    if (itemNames) {
        *itemNames = examples::taskString(kRecallItems);
        if (!*itemNames)
            return E_OUTOFMEMORY;
    }
    return S_OK;
}

// ---- Saved state ----

void DemoSynthComponent::writeState(QDataStream& out) const {
    for (const demosynth::Block& block : m_values) {
        for (const BYTE value : block)
            out << quint8(value);
    }
    out << m_offline << quint32(m_recallGroup);
}

HRESULT DemoSynthComponent::readState(QDataStream& in, std::uint16_t) {
    demosynth::Values loaded{};
    for (int block = 0; block < demosynth::kBlocks; ++block) {
        for (int index = 0; index < demosynth::kValuesPerBlock; ++index) {
            quint8 value = 0;
            in >> value;
            if (value > demosynth::parameter(block, index).maximum)
                return examples::kStateDamaged;
            loaded[std::size_t(block)][std::size_t(index)] = value;
        }
    }
    bool offline = false;
    quint32 group = 0;
    in >> offline >> group;
    if (in.status() != QDataStream::Ok || group > kMaxRecallGroup)
        return examples::kStateDamaged;
    std::lock_guard lock(m_mutex);
    m_values = loaded;
    m_offline = offline;
    m_recallGroup = group;
    m_sendProblem.clear();
    return S_OK;
}
