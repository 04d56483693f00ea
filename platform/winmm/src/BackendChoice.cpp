#include "BackendChoice.h"

#include "Backend.h"
#include "VirtualBackend.h"

#include <QByteArray>
#include <QtGlobal>

#include <memory>
#include <mutex>
#include <string>

namespace dorvo::winmm {

namespace {

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return QByteArray(a.data(), qsizetype(a.size()))
               .compare(QByteArray(b.data(), qsizetype(b.size())), Qt::CaseInsensitive) == 0;
}

MidiBackend* createBackend() {
    const QByteArray request = qgetenv("DORVO2_MIDI");
    const auto kind = backendKindFromName(request.toStdString());
    if (!request.isEmpty() && !kind)
        qWarning("DORVO2_MIDI=%s is not alsa, jack or virtual; choosing by what the machine has",
                 request.constData());
    // Only the virtual devices exist so far.
    qInfo("MIDI devices: in-process virtual devices");
    return new VirtualBackend;
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
