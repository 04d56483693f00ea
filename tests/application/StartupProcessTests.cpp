// The real program in processes of its own: the splash and start-up times, and a second start
// that hands its path to the first, with the first's start-up trace on its error output.
#include "HostingTestSupport.h"
#include "TCommandLine.h"
#include "TSingleInstance.h"
#include "TestEnvironment.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalServer>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QThread>
#include <QUuid>
#include <dorvo/version.h>
#include <gtest/gtest.h>

namespace {

// Generous: the program may run under a sanitizer on a busy machine.
constexpr int kStartLimitMs = 60000;

// A runtime folder of its own per test, so that instances of different tests never meet.
QString freshRuntimeFolder() {
    const QString folder = QString::fromStdString(dorvo2test::makeTempDir("runtime"));
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return folder;
}

class Dorvo : public QProcess {
public:
    explicit Dorvo(const QString& runtimeFolder) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_RUNTIME_DIR", runtimeFolder);
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        environment.insert("QT_LOGGING_RULES", "dorvo2.shell.debug=true");
        environment.insert("DORVO2_MIDI", "virtual");
        environment.insert("ASAN_OPTIONS", "detect_leaks=0");
        setProcessEnvironment(environment);
        setProgram(DORVO2_BINARY);
    }
    ~Dorvo() override {
        if (state() != NotRunning) {
            kill();
            waitForFinished(10000);
        }
    }

    // Waits until the trace has a line matching the pattern; gives its captures.
    QRegularExpressionMatch waitForLine(const QString& pattern, int limitMs = kStartLimitMs) {
        const QRegularExpression expression(pattern, QRegularExpression::MultilineOption);
        QElapsedTimer timer;
        timer.start();
        for (;;) {
            trace += QString::fromLocal8Bit(readAllStandardError());
            const auto match = expression.match(trace);
            if (match.hasMatch() || timer.elapsed() > limitMs || state() == NotRunning)
                return match;
            waitForReadyRead(100);
        }
    }

    // Collects what the trace says for a while more.
    void readFor(int milliseconds) {
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < milliseconds) {
            waitForReadyRead(50);
            trace += QString::fromLocal8Bit(readAllStandardError());
        }
    }

    QString trace;
};

// A first start without a default Workspace opens the setup dialog at once, and a path handed
// over while it is up is ignored. With a default Workspace of one installed component the new
// Workspace is taken over without the dialog.
void giveStartsADefaultWorkspace() {
    ASSERT_TRUE(hostingtest::registerRecordingComponent());
    const CLSID& c = hostingtest::recordingEntry().classId;
    const QUuid classId(c.Data1, c.Data2, c.Data3, c.Data4[0], c.Data4[1], c.Data4[2], c.Data4[3],
                        c.Data4[4], c.Data4[5], c.Data4[6], c.Data4[7]);
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, "QUENOR", "Dorvo2");
    settings.setValue("/preferences/workspacePage/ids", QStringList{classId.toString()});
    settings.setValue("/preferences/workspacePage/descriptors", QStringList{"Synth"});
}

qint64 timeOf(const QRegularExpressionMatch& match) {
    return match.captured(1).toLongLong();
}

// Runs a later start to its end; gives its exit code (-1 when it did not end normally).
int secondStart(const QString& runtimeFolder, const QStringList& arguments,
                const QString& workingFolder = QString()) {
    Dorvo second(runtimeFolder);
    second.setArguments(arguments);
    if (!workingFolder.isEmpty())
        second.setWorkingDirectory(workingFolder);
    second.start();
    if (!second.waitForFinished(kStartLimitMs) || second.exitStatus() != QProcess::NormalExit)
        return -1;
    return second.exitCode();
}

TEST(StartupProcessTest, SplashHoldsASecondAndANewSessionFollowsTheWindow) {
    Dorvo first(freshRuntimeFolder());
    first.start();
    const auto splash = first.waitForLine("splash shown at (\\d+) ms");
    const auto shown = first.waitForLine("window shown at (\\d+) ms");
    const auto session = first.waitForLine("yNewSession at (\\d+) ms");
    ASSERT_TRUE(splash.hasMatch() && shown.hasMatch() && session.hasMatch())
        << first.trace.toStdString();
    EXPECT_GE(timeOf(shown) - timeOf(splash), 1000);
    EXPECT_GE(timeOf(session) - timeOf(shown), 100);
}

TEST(StartupProcessTest, APathFromASecondStartIsOpenedAHundredMillisecondsLater) {
    giveStartsADefaultWorkspace();
    const QString runtime = freshRuntimeFolder();
    Dorvo first(runtime);
    first.start();
    ASSERT_TRUE(first.waitForLine("yNewSession at").hasMatch()) << first.trace.toStdString();

    // Relative to the second start's own folder, which the first does not share.
    const QString folder = QString::fromStdString(dorvo2test::makeTempDir("songs"));
    QFile(folder + "/Gig.XDW").open(QIODevice::WriteOnly);
    EXPECT_EQ(secondStart(runtime, {"Gig.XDW"}, folder), 0);

    const auto stored = first.waitForLine("pending start-up document stored at (\\d+) ms: (.*)$");
    const auto reopened = first.waitForLine("reCreateFromFile at (\\d+) ms");
    ASSERT_TRUE(stored.hasMatch() && reopened.hasMatch()) << first.trace.toStdString();
    EXPECT_EQ(stored.captured(2), QFileInfo(folder + "/Gig.XDW").canonicalFilePath());
    EXPECT_GE(timeOf(reopened) - timeOf(stored), 100);
}

TEST(StartupProcessTest, WithoutAPathTheFirstComesForwardAndNothingElseHappens) {
    giveStartsADefaultWorkspace();
    const QString runtime = freshRuntimeFolder();
    Dorvo first(runtime);
    first.start();
    ASSERT_TRUE(first.waitForLine("yNewSession at").hasMatch()) << first.trace.toStdString();
    EXPECT_EQ(secondStart(runtime, {}), 0);
    EXPECT_EQ(secondStart(runtime, {""}), 0); // an empty argument is no path
    ASSERT_TRUE(
        first.waitForLine("(brought ApplicationWindow to the front[\\s\\S]*){2}").hasMatch())
        << first.trace.toStdString();
    first.readFor(300);
    EXPECT_FALSE(first.trace.contains("pending start-up document")) << first.trace.toStdString();
    EXPECT_FALSE(first.trace.contains("reCreateFromFile")) << first.trace.toStdString();
}

TEST(StartupProcessTest, WhileAModalDialogIsShownThePathIsIgnoredAndTheDialogComesForward) {
    const QString runtime = freshRuntimeFolder();
    Dorvo first(runtime);
    // A start-up document of the wrong kind: the first shows a message box and waits.
    first.setArguments({"song.mid"});
    first.start();
    ASSERT_TRUE(first.waitForLine("yNewSession at").hasMatch()) << first.trace.toStdString();
    EXPECT_EQ(secondStart(runtime, {"/tmp/Other.XDW"}), 0);
    ASSERT_TRUE(first.waitForLine("brought QMessageBox to the front").hasMatch())
        << first.trace.toStdString();
    EXPECT_TRUE(first.trace.contains("path ignored")) << first.trace.toStdString();
    EXPECT_FALSE(first.trace.contains("pending start-up document")) << first.trace.toStdString();
}

TEST(StartupProcessTest, ASecondStartEndsWithZeroWhenNobodyAnswers) {
    const QString runtime = freshRuntimeFolder();
    const QByteArray previousRuntime = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", runtime.toLocal8Bit());
    TSingleInstance holder; // holds the lock like a running instance would
    ASSERT_EQ(holder.claim(), TSingleInstance::Claim::First);
    TSingleInstance other;
    EXPECT_EQ(other.claim(), TSingleInstance::Claim::Second);
    {
        // Nobody listens: the lock alone is not an instance that answers.
        QElapsedTimer timer;
        timer.start();
        EXPECT_EQ(secondStart(runtime, {"/tmp/A.XDW"}), 0);
        EXPECT_GE(timer.elapsed(), TSingleInstance::kHandOverTimeoutMs);
    }
    // Somebody listens and never answers (this thread does not even accept).
    QLocalServer silent;
    ASSERT_TRUE(silent.listen(TSingleInstance::channelPath()));
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(secondStart(runtime, {"/tmp/B.XDW"}), 0);
    EXPECT_GE(timer.elapsed(), TSingleInstance::kHandOverTimeoutMs);
    qputenv("XDG_RUNTIME_DIR", previousRuntime);
}

} // namespace

namespace {

struct Answer {
    int exitCode = -1;
    QString output;
    QString errors;
};

// A start that answers on the command line and ends, without a display to open a window on.
Answer answerOf(const QStringList& arguments) {
    Dorvo dorvo(freshRuntimeFolder());
    QProcessEnvironment environment = dorvo.processEnvironment();
    environment.remove("QT_QPA_PLATFORM");
    environment.remove("DISPLAY");
    environment.remove("WAYLAND_DISPLAY");
    dorvo.setProcessEnvironment(environment);
    dorvo.setArguments(arguments);
    dorvo.start();
    Answer answer;
    if (dorvo.waitForFinished(kStartLimitMs) && dorvo.exitStatus() == QProcess::NormalExit)
        answer.exitCode = dorvo.exitCode();
    answer.output = QString::fromLocal8Bit(dorvo.readAllStandardOutput());
    answer.errors = QString::fromLocal8Bit(dorvo.readAllStandardError());
    return answer;
}

TEST(StartupProcessTest, TheCommandLineAnswersWithoutAWindowAndKeepsTheDocumentFirst) {
    const Answer version = answerOf({"--version"});
    EXPECT_EQ(version.exitCode, 0) << version.errors.toStdString();
    EXPECT_EQ(version.output, "dorvo2 " DORVO2_VERSION_STRING "\n");

    const Answer help = answerOf({"-h"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.output.startsWith("Usage: dorvo2 [OPTION]... [DOCUMENT.XDW]"))
        << help.output.toStdString();

    ASSERT_TRUE(hostingtest::registerRecordingComponent());
    const Answer listed = answerOf({"--list-components"});
    EXPECT_EQ(listed.exitCode, 0) << listed.errors.toStdString();
    EXPECT_TRUE(listed.output.contains(hostingtest::recordingEntry().name + "\t{"))
        << listed.output.toStdString();

    const Answer twoDocuments = answerOf({"a.XDW", "b.XDW"});
    EXPECT_EQ(twoDocuments.exitCode, 2);
    EXPECT_TRUE(twoDocuments.errors.contains("only one document can be opened: b.XDW"));

    // The first plain argument is the document, whatever Qt's options stand around it; after
    // "--" even a name that looks like an option is one.
    const TCommandLine withQtOptions =
        TCommandLine::parse({"-platform", "offscreen", "Studio.XDW", "-reverse"});
    EXPECT_EQ(withQtOptions.request(), TCommandLine::Request::Run);
    EXPECT_EQ(withQtOptions.document(), "Studio.XDW");
    const TCommandLine dashed = TCommandLine::parse({"--", "--help"});
    EXPECT_EQ(dashed.request(), TCommandLine::Request::Run);
    EXPECT_EQ(dashed.document(), "--help");
}

} // namespace
