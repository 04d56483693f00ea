#include "BackendChoice.h"

#include "Backend.h"
#include "VirtualBackend.h"
#ifdef DORVO2_MIDI_ALSA
#include "AlsaBackend.h"
#endif
#ifdef DORVO2_MIDI_JACK
#include "JackBackend.h"
#include "JackClient.h"
#endif

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

#ifdef DORVO2_MIDI_JACK
MidiBackend* useJack(std::unique_ptr<JackBackend> jack, const char* why) {
    jack->registerCloseAtExit();
    if (jack->isConnected())
        qInfo("MIDI devices: JACK server \"%s\" (%s)", JackClient::serverName().c_str(), why);
    else
        qInfo("MIDI devices: JACK (%s), but %s; devices appear once it runs", why,
              jack->failure().c_str());
    return jack.release();
}
#endif

#ifdef DORVO2_MIDI_ALSA
MidiBackend* useAlsa(const char* why) {
    auto alsa = std::make_unique<AlsaBackend>();
    if (alsa->isOpen())
        qInfo("MIDI devices: ALSA sequencer (%s)", why);
    else
        qInfo("MIDI devices: ALSA sequencer (%s), but %s; no devices", why,
              alsa->failure().c_str());
    return alsa.release();
}
#endif

#if !defined(DORVO2_MIDI_ALSA) || !defined(DORVO2_MIDI_JACK)
// A backend asked for by name that this build left out.
MidiBackend* missing(const char* name) {
    qWarning("DORVO2_MIDI=%s, but this build of Dorvo has no %s backend", name, name);
    return useVirtual("the backend asked for is not built");
}
#endif

MidiBackend* createBackend() {
    const QByteArray request = qgetenv("DORVO2_MIDI");
    const auto kind = backendKindFromName(request.toStdString());
    if (!request.isEmpty() && !kind)
        qWarning("DORVO2_MIDI=%s is not alsa, jack or virtual; choosing by what the machine has",
                 request.constData());
    if (kind == BackendKind::Virtual)
        return useVirtual("DORVO2_MIDI");
#ifdef DORVO2_MIDI_JACK
    if (kind == BackendKind::Jack)
        return useJack(std::make_unique<JackBackend>(), "DORVO2_MIDI");
#else
    if (kind == BackendKind::Jack)
        return missing("jack");
#endif
#ifdef DORVO2_MIDI_ALSA
    if (kind == BackendKind::Alsa)
        return useAlsa("DORVO2_MIDI");
    if (AlsaBackend::sequencerPresent())
        return useAlsa("the machine has one");
#else
    if (kind == BackendKind::Alsa)
        return missing("alsa");
#endif
#ifdef DORVO2_MIDI_JACK
    auto jack = std::make_unique<JackBackend>();
    if (jack->isConnected())
        return useJack(std::move(jack), "a JACK server answers");
#endif
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
