#include "TCommandLine.h"

#include "Version.h"

namespace {

bool isOption(const QString& argument) {
    return argument.size() > 1 && argument.startsWith(QLatin1Char('-'));
}

// Qt's own options that take a value in the next argument; the value is no document.
bool takesValue(const QString& option) {
    static const QStringList withValue = {
        QStringLiteral("-platform"),        QStringLiteral("-platformpluginpath"),
        QStringLiteral("-platformtheme"),   QStringLiteral("-plugin"),
        QStringLiteral("-qwindowgeometry"), QStringLiteral("-qwindowicon"),
        QStringLiteral("-qwindowtitle"),    QStringLiteral("-display"),
        QStringLiteral("-style"),           QStringLiteral("-stylesheet"),
        QStringLiteral("-session"),         QStringLiteral("-geometry"),
        QStringLiteral("-title"),           QStringLiteral("-name"),
        QStringLiteral("-widgetcount"),     QStringLiteral("-qmljsdebugger")};
    QString bare = option;
    if (bare.startsWith(QStringLiteral("--")))
        bare.remove(0, 1);
    return withValue.contains(bare);
}

} // namespace

TCommandLine TCommandLine::parse(const QStringList& arguments) {
    TCommandLine line;
    bool optionsEnded = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (!optionsEnded && argument == QStringLiteral("--")) {
            optionsEnded = true;
        } else if (!optionsEnded &&
                   (argument == QStringLiteral("--help") || argument == QStringLiteral("-h"))) {
            line.m_request = Request::Help;
            return line;
        } else if (!optionsEnded && argument == QStringLiteral("--version")) {
            line.m_request = Request::Version;
            return line;
        } else if (!optionsEnded && argument == QStringLiteral("--list-components")) {
            line.m_request = Request::ListComponents;
        } else if (!optionsEnded && isOption(argument)) {
            if (takesValue(argument))
                ++i;
        } else if (line.m_document.isEmpty()) {
            line.m_document = argument;
        } else {
            line.m_request = Request::Wrong;
            line.m_problem = QStringLiteral("only one document can be opened: %1").arg(argument);
            return line;
        }
    }
    return line;
}

QString TCommandLine::usage() {
    return QStringLiteral(
        "Usage: dorvo2 [OPTION]... [DOCUMENT.XDW]\n"
        "Hosts editor components for MIDI studio hardware in a Workspace, and opens the\n"
        "workspace document DOCUMENT.XDW when one is given. When Dorvo is already running,\n"
        "the document is handed to the running program.\n"
        "\n"
        "  -h, --help           show this text\n"
        "  --version            show the version\n"
        "  --list-components    list the installed editor components and end\n"
        "  --                   end of options: the next argument is the document\n"
        "\n"
        "Environment: DORVO2_MIDI=alsa|jack|virtual chooses the MIDI backend;\n"
        "DORVO2_REGISTRY_DIR moves the user's registry (default\n"
        "${XDG_DATA_HOME:-~/.local/share}/dorvo2/registry).\n");
}

QString TCommandLine::versionText() {
    return QStringLiteral("dorvo2 %1\n").arg(QStringLiteral(DORVO2_VERSION_STRING));
}
