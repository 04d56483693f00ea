// The stand-alone program: one instance per user. A later start hands its document path to the
// running instance and ends; the first shows the splash screen, builds the Workspace window and
// runs until the window closes.
#include "ApplicationWindow.h"
#include "LongPathName.h"
#include "ShellLog.h"
#include "Splash.h"
#include "TCommandLine.h"
#include "TComponentCatalogue.h"
#include "TProgramEventFilter.h"
#include "TSingleInstance.h"
#include "Version.h"

#include <CAppServer.h>
#include <GuidConversion.h>
#include <dorvo/objbase.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSplashScreen>
#include <QThread>
#include <QTimer>
#include <cstdio>
#include <memory>
#include <optional>

namespace {

constexpr int kMinimumSplashMs = 1000;
constexpr int kSplashPollMs = 10;
constexpr int kNewSessionDelayMs = 100;

constexpr int kExitUsage = 2;

QStringList argumentsOf(int argc, char** argv) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QFile::decodeName(argv[i]));
    return arguments;
}

// The catalogue as the Workspace offers it: one line per component, its name and class.
int listComponents(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    TComponentCatalogue catalogue;
    if (const QList<TCatalogueEntry>* entries = catalogue.entries())
        for (const TCatalogueEntry& entry : *entries)
            std::printf("%s\t%s\n", qPrintable(entry.name),
                        qPrintable(uuidFromGuid(entry.classId).toString().toUpper()));
    return 0;
}

// What needs no window: the help, the version, the catalogue, a command line that makes no
// sense. Nothing when the program is to run.
std::optional<int> answerWithoutWindow(const TCommandLine& line, int argc, char** argv) {
    switch (line.request()) {
    case TCommandLine::Request::Help:
        std::fputs(qPrintable(TCommandLine::usage()), stdout);
        return 0;
    case TCommandLine::Request::Version:
        std::fputs(qPrintable(TCommandLine::versionText()), stdout);
        return 0;
    case TCommandLine::Request::ListComponents:
        return listComponents(argc, argv);
    case TCommandLine::Request::Wrong:
        std::fprintf(stderr, "dorvo2: %s\n%s", qPrintable(line.problem()),
                     qPrintable(TCommandLine::usage()));
        return kExitUsage;
    case TCommandLine::Request::Run:
        break;
    }
    return std::nullopt;
}

// A later start: the path as given, made absolute here because the running instance has a
// working folder of its own. Ends with 0 whatever the running instance answered.
int handOverToRunningInstance(int argc, char** argv, const QString& document) {
    QCoreApplication application(argc, argv);
    THandOverMessage message;
    message.senderProcessId = quint32(QCoreApplication::applicationPid());
    if (!document.isEmpty())
        message.path = QFile::encodeName(QDir::current().absoluteFilePath(document));
    const quint32 answer = TSingleInstance::handOver(message);
    qCDebug(lcShell, "hand-over answered %u", answer);
    return 0;
}

// The splash stays up for at least the minimum time; it is painted meanwhile, while user input
// and later starts' hand-overs wait for the event loop.
void holdSplash(const QElapsedTimer& shownFor) {
    while (shownFor.elapsed() < kMinimumSplashMs) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents |
                                        QEventLoop::ExcludeSocketNotifiers);
        QThread::msleep(kSplashPollMs);
    }
}

} // namespace

int main(int argc, char** argv) {
    const TCommandLine line = TCommandLine::parse(argumentsOf(argc, argv));
    if (const std::optional<int> answered = answerWithoutWindow(line, argc, argv))
        return *answered;

    TSingleInstance instance;
    switch (instance.claim()) {
    case TSingleInstance::Claim::First:
        break;
    case TSingleInstance::Claim::Second:
        return handOverToRunningInstance(argc, argv, line.document());
    case TSingleInstance::Claim::Failed:
        qWarning("Cannot take the single-instance lock %s: %s",
                 qPrintable(TSingleInstance::lockFilePath()), qPrintable(instance.lockError()));
        return 0;
    }

    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    auto application = std::make_unique<QApplication>(argc, argv);
    CAppServer& server = CAppServer::Instance();

    QSplashScreen* splash = dorvo::createSplashScreen();
    qCDebug(lcShell, "splash %s at %lld ms", splash ? "shown" : "missing", dorvo::shellClockMs());
    QElapsedTimer splashTime;
    splashTime.start();

    auto* window = new ApplicationWindow;
    window->setWindowTitle(dorvo::kApplicationTitle);
    window->resize(600, 400);
    QObject::connect(application.get(), &QGuiApplication::lastWindowClosed, application.get(),
                     &QCoreApplication::quit);

    TProgramEventFilter filter(window);
    application->installEventFilter(&filter);
    instance.listen(
        [&filter](const THandOverMessage& message) { return filter.takeHandOver(message); });
    if (!line.document().isEmpty())
        window->createFromFile(dorvo::longPathName(line.document()));

    holdSplash(splashTime);
    // The window shows first, so that the splash can close once the window is on screen.
    window->show();
    qCDebug(lcShell, "window shown at %lld ms", dorvo::shellClockMs());
    if (splash) {
        splash->finish(window);
        delete splash;
    }
    QTimer::singleShot(kNewSessionDelayMs, window, &ApplicationWindow::yNewSession);

    const int result = application->exec();

    instance.stopListening();
    filter.setWorkspaceWindow(nullptr);
    delete window;
    instance.release();
    server.release();
    CoUninitialize();
    application.reset();
    return result;
}
