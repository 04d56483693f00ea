#include "SysExLibrarianComponent.h"

#include "SysExLibrarianIds.h"
#include "SyxFile.h"

#include <StateFormat.h>

#include <QFileInfo>

#include <algorithm>

using examples::Bytes;

namespace {

// Room for the captured messages of a large device, and a little more.
constexpr std::uint32_t kMaxStatePayload = (16u << 20) + 65536;
constexpr quint32 kMaxStoredMessages = 1u << 20;

const examples::ComponentClass kClass = {&CLSID_SysExLibrarian,
                                         &CLSID_SysExLibrarianPage,
                                         &IID_SysExLibrarianComponent,
                                         {'D', 'L', 'I', 'B'},
                                         1,
                                         kMaxStatePayload,
                                         true};

std::size_t totalSize(const std::vector<Bytes>& messages) {
    std::size_t bytes = 0;
    for (const Bytes& message : messages)
        bytes += message.size();
    return bytes;
}

QString messagesText(const std::vector<Bytes>& messages) {
    return QStringLiteral("%1 message(s), %2 bytes").arg(messages.size()).arg(totalSize(messages));
}

} // namespace

SysExLibrarianComponent::SysExLibrarianComponent() : ExampleComponent(kClass) {}

SysExLibrarianComponent::~SysExLibrarianComponent() {
    stop();
}

// ---- Settings ----

QString SysExLibrarianComponent::requestText() const {
    std::lock_guard lock(m_mutex);
    return m_requestText;
}

void SysExLibrarianComponent::setRequestText(const QString& text) {
    std::lock_guard lock(m_mutex);
    if (m_requestText != text) {
        m_requestText = text;
        setDirty();
    }
}

QString SysExLibrarianComponent::deviceName() const {
    std::lock_guard lock(m_mutex);
    return m_deviceName;
}

void SysExLibrarianComponent::setDeviceName(const QString& name) {
    {
        std::lock_guard lock(m_mutex);
        if (m_deviceName == name.trimmed())
            return;
        m_deviceName = name.trimmed();
    }
    setDirty();
    renamePortUsages();
    notify(examples::kSettingsChanged);
}

QString SysExLibrarianComponent::portUsageName(int direction) const {
    const QString device = deviceName();
    if (device.isEmpty())
        return ExampleComponent::portUsageName(direction);
    return device + (direction == kInput ? QStringLiteral(" In") : QStringLiteral(" Out"));
}

int SysExLibrarianComponent::pause() const {
    std::lock_guard lock(m_mutex);
    return m_pause;
}

void SysExLibrarianComponent::setPause(int milliseconds) {
    std::lock_guard lock(m_mutex);
    m_pause = std::clamp(milliseconds, kMinPause, kMaxPause);
    setDirty();
}

int SysExLibrarianComponent::quietTime() const {
    std::lock_guard lock(m_mutex);
    return m_quietTime;
}

void SysExLibrarianComponent::setQuietTime(int milliseconds) {
    std::lock_guard lock(m_mutex);
    m_quietTime = std::clamp(milliseconds, kMinQuiet, kMaxQuiet);
    setDirty();
}

std::vector<Bytes> SysExLibrarianComponent::captured() const {
    std::lock_guard lock(m_mutex);
    return m_captured;
}

void SysExLibrarianComponent::clearCaptured() {
    {
        std::lock_guard lock(m_mutex);
        m_captured.clear();
    }
    setDirty();
    setStatus(QString(), examples::kValuesChanged | examples::kActivity);
}

QString SysExLibrarianComponent::status() const {
    std::lock_guard lock(m_mutex);
    return m_status;
}

bool SysExLibrarianComponent::isBusy() const {
    return m_busy;
}

void SysExLibrarianComponent::setStatus(const QString& status, unsigned changes) {
    {
        std::lock_guard lock(m_mutex);
        m_status = status;
    }
    notify(changes);
}

// ---- Work ----

bool SysExLibrarianComponent::request() {
    QString error;
    const Bytes bytes = examples::parseHex(requestText(), &error);
    std::size_t skipped = 0;
    const std::vector<Bytes> messages = examples::splitSysex(bytes, &skipped);
    if (!error.isEmpty() || messages.empty() || skipped != 0) {
        setStatus(error.isEmpty() ? QStringLiteral("The dump request must be complete "
                                                   "system-exclusive messages (F0 ... F7)")
                                  : QStringLiteral("The dump request is not hex: %1").arg(error));
        return false;
    }
    if (chosenPort(kOutput).number == 0 || chosenPort(kInput).number == 0) {
        setStatus(QStringLiteral("Choose the MIDI In and MIDI Out ports of the device first"));
        return false;
    }
    stop();
    {
        std::lock_guard lock(m_mutex);
        m_requestMessages = messages;
    }
    startWork(&SysExLibrarianComponent::capture);
    return true;
}

bool SysExLibrarianComponent::sendCaptured() {
    if (captured().empty()) {
        setStatus(QStringLiteral("Nothing to send: capture or import messages first"));
        return false;
    }
    if (chosenPort(kOutput).number == 0) {
        setStatus(QStringLiteral("Choose the MIDI Out port of the device first"));
        return false;
    }
    stop();
    startWork(&SysExLibrarianComponent::send);
    return true;
}

void SysExLibrarianComponent::startWork(void (SysExLibrarianComponent::*work)()) {
    {
        std::lock_guard lock(m_workMutex);
        m_stop = false;
    }
    m_busy = true;
    m_worker = std::thread([this, work] {
        (this->*work)();
        m_busy = false;
        notify(examples::kActivity);
    });
}

void SysExLibrarianComponent::stop() {
    {
        std::lock_guard lock(m_workMutex);
        m_stop = true;
    }
    m_workWake.notify_all();
    if (m_worker.joinable())
        m_worker.join();
}

void SysExLibrarianComponent::disconnecting() {
    // The worker sends through the host, which goes now.
    stop();
}

bool SysExLibrarianComponent::pauseFor(std::chrono::milliseconds duration) {
    std::unique_lock lock(m_workMutex);
    return !m_workWake.wait_for(lock, duration, [this] { return m_stop; });
}

void SysExLibrarianComponent::capture() {
    std::vector<Bytes> request;
    std::chrono::milliseconds quiet{0};
    {
        std::lock_guard lock(m_mutex);
        request = m_requestMessages;
        quiet = std::chrono::milliseconds(m_quietTime);
    }
    {
        std::lock_guard lock(m_workMutex);
        m_incoming.clear();
        m_lastArrival.reset();
        m_capturing = true;
    }
    setStatus(QStringLiteral("Requesting..."));
    const DWORD out = chosenPort(kOutput).number;
    for (const Bytes& message : request) {
        if (FAILED(host().sendSysex(out, message))) {
            {
                std::lock_guard lock(m_workMutex);
                m_capturing = false;
            }
            setStatus(QStringLiteral("The dump request could not be sent"));
            return;
        }
    }
    const Clock::time_point sent = Clock::now();
    Bytes incoming;
    bool stopped = false;
    {
        std::unique_lock lock(m_workMutex);
        for (;;) {
            const Clock::time_point deadline =
                m_lastArrival ? *m_lastArrival + quiet : sent + kAnswerTimeout;
            if (m_stop) {
                stopped = true;
                break;
            }
            if (Clock::now() >= deadline)
                break;
            m_workWake.wait_until(lock, deadline);
        }
        m_capturing = false;
        incoming.swap(m_incoming);
    }
    std::size_t skipped = 0;
    const std::vector<Bytes> messages = examples::splitSysex(incoming, &skipped);
    if (messages.empty()) {
        setStatus(stopped ? QStringLiteral("Stopped: nothing captured")
                          : QStringLiteral("No answer from the device within %1 s")
                                .arg(kAnswerTimeout.count() / 1000));
        return;
    }
    {
        std::lock_guard lock(m_mutex);
        m_captured = messages;
    }
    setDirty();
    QString status = QStringLiteral("Captured %1").arg(messagesText(messages));
    if (skipped)
        status += QStringLiteral("; %1 stray bytes left out").arg(skipped);
    if (stopped)
        status += QStringLiteral(" (stopped)");
    setStatus(status, examples::kValuesChanged | examples::kActivity);
}

void SysExLibrarianComponent::send() {
    const std::vector<Bytes> messages = captured();
    const auto pauseBetween = std::chrono::milliseconds(pause());
    const DWORD out = chosenPort(kOutput).number;
    for (std::size_t i = 0; i < messages.size(); ++i) {
        if (i > 0 && !pauseFor(pauseBetween)) {
            setStatus(
                QStringLiteral("Stopped after %1 of %2 message(s)").arg(i).arg(messages.size()));
            return;
        }
        if (FAILED(host().sendSysex(out, messages[i]))) {
            setStatus(QStringLiteral("Message %1 of %2 could not be sent")
                          .arg(i + 1)
                          .arg(messages.size()));
            return;
        }
        setStatus(QStringLiteral("Sent %1 of %2 message(s)").arg(i + 1).arg(messages.size()));
    }
}

void SysExLibrarianComponent::receive(const MPEVENT& event, const Bytes& longBytes) {
    if (event.type != MPEVENT_SYSEX && event.type != MPEVENT_SYSEXCONTINUATION)
        return;
    {
        std::lock_guard lock(m_workMutex);
        if (!m_capturing)
            return;
        if (m_incoming.size() + longBytes.size() + 1 > kMaxCaptureBytes) {
            m_stop = true; // a device that does not end must not fill the memory
        } else {
            m_incoming.push_back(event.type == MPEVENT_SYSEX ? 0xF0 : 0xF7);
            m_incoming.insert(m_incoming.end(), longBytes.begin(), longBytes.end());
        }
        m_lastArrival = Clock::now();
    }
    m_workWake.notify_all();
}

// ---- Files ----

bool SysExLibrarianComponent::importFile(const QString& path) {
    std::vector<Bytes> messages;
    QString error;
    const QString name = QFileInfo(path).fileName();
    if (!syxfile::read(path, &messages, &error)) {
        setStatus(QStringLiteral("%1 was not imported: %2").arg(name, error));
        return false;
    }
    {
        std::lock_guard lock(m_mutex);
        m_captured = messages;
    }
    setDirty();
    setStatus(QStringLiteral("Imported %1 from %2").arg(messagesText(messages), name),
              examples::kValuesChanged | examples::kActivity);
    return true;
}

bool SysExLibrarianComponent::exportFile(const QString& path) {
    const std::vector<Bytes> messages = captured();
    const QString name = QFileInfo(path).fileName();
    if (messages.empty()) {
        setStatus(QStringLiteral("Nothing to export"));
        return false;
    }
    QString error;
    if (!syxfile::write(path, messages, &error)) {
        setStatus(QStringLiteral("%1 was not written: %2").arg(name, error));
        return false;
    }
    setStatus(QStringLiteral("Exported %1 to %2").arg(messagesText(messages), name));
    return true;
}

// ---- Saved state ----

void SysExLibrarianComponent::writeState(QDataStream& out) const {
    out << m_requestText << m_deviceName << qint32(m_pause) << qint32(m_quietTime)
        << quint32(m_captured.size());
    for (const Bytes& message : m_captured)
        out << QByteArray(reinterpret_cast<const char*>(message.data()), qsizetype(message.size()));
}

HRESULT SysExLibrarianComponent::readState(QDataStream& in, std::uint16_t) {
    QString requestText, deviceName;
    qint32 pause = 0, quiet = 0;
    quint32 count = 0;
    in >> requestText >> deviceName >> pause >> quiet >> count;
    if (in.status() != QDataStream::Ok || pause < kMinPause || pause > kMaxPause ||
        quiet < kMinQuiet || quiet > kMaxQuiet || count > kMaxStoredMessages)
        return examples::kStateDamaged;
    std::vector<Bytes> captured;
    for (quint32 i = 0; i < count; ++i) {
        QByteArray message;
        in >> message;
        Bytes bytes(message.begin(), message.end());
        if (in.status() != QDataStream::Ok || !examples::isCompleteSysex(bytes))
            return examples::kStateDamaged;
        captured.push_back(std::move(bytes));
    }
    {
        std::lock_guard lock(m_mutex);
        m_requestText = requestText;
        m_deviceName = deviceName.trimmed();
        m_pause = pause;
        m_quietTime = quiet;
        m_captured = std::move(captured);
        m_status.clear();
    }
    renamePortUsages();
    return S_OK;
}
