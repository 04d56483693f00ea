#include "BackendChoice.h"

#include "AlsaBackend.h"
#include "Backend.h"
#include "JackBackend.h"
#include "JackClient.h"
#include "VirtualBackend.h"

#include <QByteArray>
#include <QtGlobal>

#include <memory>
#include <string>

namespace dorvo::winmm {

namespace {

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return QByteArray(a.data(), qsizetype(a.size()))
               .compare(QByteArray(b.data(), qsizetype(b.size())), Qt::CaseInsensitive) == 0;
}

MidiBackend* useVirtual(const char* why) {
    qInfo("MIDI devices: in-process virtual devices (%s)", why);
    return new VirtualBackend;
}

MidiBackend* useJack(std::unique_ptr<JackBackend> jack, const char* why) {
    jack->registerCloseAtExit();
    if (jack->isConnected())
        qInfo("MIDI devices: JACK server \"%s\" (%s)", JackClient::serverName().c_str(), why);
    else
        qInfo("MIDI devices: JACK (%s), but %s; devices appear once it runs", why,
              jack->failure().c_str());
    return jack.release();
}

MidiBackend* useAlsa(const char* why) {
    auto alsa = std::make_unique<AlsaBackend>();
    if (alsa->isOpen())
        qInfo("MIDI devices: ALSA sequencer (%s)", why);
    else
        qInfo("MIDI devices: ALSA sequencer (%s), but %s; no devices", why,
              alsa->failure().c_str());
    return alsa.release();
}

MidiBackend* createBackend() {
    const QByteArray request = qgetenv("DORVO2_MIDI");
    const auto kind = backendKindFromName(request.toStdString());
    if (!request.isEmpty() && !kind)
        qWarning("DORVO2_MIDI=%s is not alsa, jack or virtual; choosing by what the machine has",
                 request.constData());
    if (kind == BackendKind::Virtual)
        return useVirtual("DORVO2_MIDI");
    if (kind == BackendKind::Jack)
        return useJack(std::make_unique<JackBackend>(), "DORVO2_MIDI");
    if (kind == BackendKind::Alsa)
        return useAlsa("DORVO2_MIDI");
    if (AlsaBackend::sequencerPresent())
        return useAlsa("the machine has one");
    auto jack = std::make_unique<JackBackend>();
    if (jack->isConnected())
        return useJack(std::move(jack), "a JACK server answers");
    return useVirtual("no ALSA sequencer, no JACK server");
}

} // namespace

std::optional<BackendKind> backendKindFromName(std::string_view name) {
    if (equalsIgnoringCase(name, "alsa"))
        return BackendKind::Alsa;
    if (equalsIgnoringCase(name, "jack"))
        return BackendKind::Jack;
    if (equalsIgnoringCase(name, "virtual"))
        return BackendKind::Virtual;
    return std::nullopt;
}

MidiBackend& midiBackend() {
    // Never destroyed: its threads may outlive static destruction at exit.
    static MidiBackend* const backend = createBackend();
    return *backend;
}

} // namespace dorvo::winmm
