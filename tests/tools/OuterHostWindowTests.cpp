// The component build inside an outer application's own X11 windows, in real processes on a
// virtual display: dorvo2-outerhost places the component's property page (the Workspace) in its
// main window and shows the Demo Synth's editor, which the loaded document had open, as a page
// in a second window of its own. Resizing the main window resizes the Workspace; a second load
// closes the editor's page first (and opens it again afterwards). Screenshots stay in the build
// folder. A Recall then reaches the simulated synthesizer only through the ports that the outer
// application opened. Skipped where Xvfb (or, for the Recall, xdotool) is not installed.
#include "ProgramRun.h"
#include "StateFormat.h"
#include "TDocumentReader.h"
#include "TDocumentWriter.h"
#include "TestEnvironment.h"

#include <QCoreApplication>
#include <QDataStream>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#include <QColor>
#include <QDir>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <gtest/gtest.h>

namespace {

// The Workspace's icon view paints this ground.
const QColor kWorkspaceGround(102, 105, 124);
// Where the outer application puts its first editor window on a display without a window
// manager.
const QPoint kFirstPage(440, 40);

int countOf(const QImage& image, const QRect& area, const QColor& colour) {
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            count += image.pixelColor(x, y) == colour;
    return count;
}

int distinctColours(const QImage& image, const QRect& area) {
    QSet<QRgb> colours;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            colours.insert(image.pixel(x, y));
    return int(colours.size());
}

int linesWith(const QString& output, const QString& text) {
    return int(output.count(text));
}

// An X server of this test's own, so that the test can act on it as a user (xdotool).
class VirtualDisplay {
public:
    VirtualDisplay() {
        m_xvfb = QStandardPaths::findExecutable("Xvfb");
        m_xdotool = QStandardPaths::findExecutable("xdotool");
    }
    ~VirtualDisplay() {
        m_server.terminate();
        m_server.waitForFinished(5000);
    }
    bool available() const { return !m_xvfb.isEmpty() && !m_xdotool.isEmpty(); }
    // Starts the server and an environment that points there, for a program with ASan.
    bool start() {
        const QString display =
            QStringLiteral(":%1").arg(100 + QCoreApplication::applicationPid() % 400);
        m_server.start(m_xvfb, {display, "-screen", "0", "1280x1024x24", "-nolisten", "tcp"});
        if (!m_server.waitForStarted())
            return false;
        environment = QProcessEnvironment::systemEnvironment();
        environment.insert("DISPLAY", display);
        environment.insert("QT_QPA_PLATFORM", "xcb");
        // The X keyboard library reads a string with strndup past its end, which the strict
        // string checks report; leaks are still looked for.
        environment.insert("ASAN_OPTIONS", "detect_leaks=1:strict_string_checks=0");
        for (int i = 0; i < 50; ++i) {
            if (xdotool({"getdisplaygeometry"}))
                return true;
            QThread::msleep(100);
        }
        return false;
    }
    bool xdotool(const QStringList& arguments, QString* printed = nullptr) {
        QProcess tool;
        tool.setProcessEnvironment(environment);
        tool.start(m_xdotool, arguments);
        const bool done = tool.waitForFinished(5000) && tool.exitCode() == 0;
        if (printed)
            *printed = QString::fromLocal8Bit(tool.readAll());
        return done;
    }
    QProcessEnvironment environment;

private:
    QString m_xvfb;
    QString m_xdotool;
    QProcess m_server;
};

// Reads what the program prints until the text appears (true) or the time is up.
bool readUntil(QProcess& program, QString& printed, const QString& text, int milliseconds) {
    QElapsedTimer waited;
    waited.start();
    while (!printed.contains(text) && waited.elapsed() < milliseconds &&
           program.state() != QProcess::NotRunning) {
        program.waitForReadyRead(100);
        printed += QString::fromLocal8Bit(program.readAll());
    }
    printed += QString::fromLocal8Bit(program.readAll());
    return printed.contains(text);
}

void registerComponents() {
    for (const char* library : {DORVO2_COMPONENT_LIBRARY, DORVO2_EXAMPLE_LIBRARIES}) {
        const auto registered = dorvo2test::runProgram(DORVO2_REGSVR, {library});
        ASSERT_EQ(registered.exitCode, 0) << registered.output;
    }
}

TEST(OuterHostWindowTest, TheWorkspaceAndAnEditorInTheOuterApplicationsWindows) {
    VirtualDisplay display;
    if (!display.available())
        GTEST_SKIP() << "Xvfb or xdotool is not installed (make test installs them)";
    registerComponents();
    ASSERT_TRUE(display.start());
    const QString folder = DORVO2_SCREENSHOT_DIR;
    QDir().mkpath(folder);
    const QString work = QString::fromStdString(dorvo2test::makeTempDir("window"));
    const QString document = QStringLiteral(DOCUMENTS_DIR) + "/examples.XDW";

    QProcess run;
    run.setProcessEnvironment(display.environment);
    run.setProcessChannelMode(QProcess::MergedChannels);
    run.start(DORVO2_OUTERHOST, {"--window",   "import",       document,   "show",
                                 "wait",       "2000",         "snapshot", work + "/shown.ppm",
                                 "pages",      "resize",       "700",      "500",
                                 "wait",       "1500",         "snapshot", work + "/resized.ppm",
                                 "close-page", "Demo Synth 1", "wait",     "5000",
                                 "pages",      "import",       document,   "wait",
                                 "1500",       "pages",        "quit"});
    // Once the user closed the editor's window, a double-click on the Demo Synth's icon in the
    // Workspace opens the editor again.
    QString output;
    EXPECT_TRUE(readUntil(run, output, "page closed by user", 30000)) << output.toStdString();
    QThread::msleep(300);
    EXPECT_TRUE(display.xdotool(
        {"mousemove", "55", "55", "click", "--repeat", "2", "--delay", "100", "1"}));
    ASSERT_TRUE(run.waitForFinished(120000));
    output += QString::fromLocal8Bit(run.readAll());
    ASSERT_EQ(run.exitCode(), 0) << output.toStdString();

    // The Workspace in the main window, at the page's first size.
    EXPECT_TRUE(output.contains(QRegularExpression("window main 0x[0-9A-F]+ 400x300")))
        << output.toStdString();
    // The editor's page is titled with the component's Workspace name, not the editor's own.
    EXPECT_EQ(linesWith(output, "page shown \"Demo Synth 1\""), 3) << output.toStdString();
    EXPECT_TRUE(output.contains("page moved 700x500"));
    // Opened again, the old page was released first and the new one came where the user had
    // the old.
    const qsizetype released = output.indexOf("page released \"Demo Synth 1\"");
    ASSERT_GE(released, 0) << output.toStdString();
    EXPECT_GT(output.indexOf("(kept placement)"), released);
    // The second load asked the outer application to close the page before it.
    const qsizetype closed = output.indexOf("page closed \"Demo Synth 1\"");
    ASSERT_GE(closed, 0) << output.toStdString();
    EXPECT_GT(closed, released);
    EXPECT_GT(output.lastIndexOf("page shown"), closed);
    EXPECT_TRUE(output.contains("disconnected"));
    EXPECT_TRUE(output.contains("released (0 references left)"));
    EXPECT_FALSE(output.contains("ERROR: AddressSanitizer")) << output.toStdString();
    EXPECT_FALSE(output.contains("ERROR: LeakSanitizer")) << output.toStdString();

    const QImage shown(work + "/shown.ppm");
    ASSERT_FALSE(shown.isNull());
    shown.save(folder + "/outer-host-workspace-and-editor.png");
    EXPECT_GT(countOf(shown, QRect(0, 0, 400, 300), kWorkspaceGround), 400 * 300 / 3)
        << "the Workspace fills the main window";
    const QRect page(kFirstPage, QSize(300, 200));
    EXPECT_EQ(countOf(shown, page, kWorkspaceGround), 0);
    EXPECT_GT(distinctColours(shown, page), 20) << "the editor's controls, not an empty frame";

    const QImage resized(work + "/resized.ppm");
    ASSERT_FALSE(resized.isNull());
    resized.save(folder + "/outer-host-resized.png");
    EXPECT_EQ(resized.pixelColor(650, 450), kWorkspaceGround) << "the Workspace grew with it";
    EXPECT_EQ(shown.pixelColor(650, 450), QColor(Qt::black)) << "nothing was there before";
}

// The ids under which the outer application lists the simulated synthesizer's two ports.
std::pair<QUuid, QUuid> synthPortIds() {
    const auto listed = dorvo2test::runProgram(DORVO2_OUTERHOST, {"ports", "quit"});
    EXPECT_EQ(listed.exitCode, 0) << listed.output;
    std::pair<QUuid, QUuid> ids;
    const QRegularExpression line(
        "(input|output) port=3 id=(\\{[0-9a-f-]+\\}) \"Dorvo Demo Synth\"");
    for (const QRegularExpressionMatch& match :
         line.globalMatch(QString::fromStdString(listed.output)))
        (match.captured(1) == "input" ? ids.first : ids.second) = QUuid(match.captured(2));
    return ids;
}

// The example document's Demo Synth alone, its editor closed, recalling all its blocks, on the
// synthesizer's ports as the outer application lists them, with the Workspace opening them.
QByteArray documentOnSynthPorts(const QUuid& input, const QUuid& output) {
    QFile file(QStringLiteral(DOCUMENTS_DIR) + "/examples.XDW");
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    xdw::Document document = TDocumentReader::read(bytes).document;
    xdw::Component synth = document.components.value(0);
    EXPECT_EQ(synth.name, QStringLiteral("Demo Synth 1"));
    synth.editorOpen = 0;
    synth.recallMask = 7; // all three blocks
    // The state's payload begins with the chosen input and output, an id and a name each.
    QByteArray ports;
    QDataStream out(&ports, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_6_0);
    out.setByteOrder(QDataStream::BigEndian);
    const QString name = QStringLiteral("Dorvo Demo Synth");
    out << input << name << output << name;
    const QByteArray payload = synth.state.mid(examples::kStateHeaderSize);
    const auto version = std::uint16_t((quint8(synth.state[4]) << 8) | quint8(synth.state[5]));
    synth.state = examples::frameState("DSYN", version, ports + payload.mid(2 * (16 + 4)));
    document.components = {synth};
    document.recallEnabled = QList<qint32>{1};
    document.ports = xdw::PortSection();
    document.ports.ports[0] = {{input, QStringLiteral("3;Dorvo Demo Synth")}};
    document.ports.ports[1] = {{output, QStringLiteral("3;Dorvo Demo Synth")}};
    document.thru = xdw::ThruSection();
    return TDocumentWriter::bytes(document);
}

TEST(OuterHostWindowTest, ARecallReachesTheSynthesizerThroughTheOuterApplicationsPorts) {
    VirtualDisplay display;
    if (!display.available())
        GTEST_SKIP() << "Xvfb or xdotool is not installed (make test installs them)";
    registerComponents();
    const auto [input, output] = synthPortIds();
    ASSERT_FALSE(input.isNull() || output.isNull());
    const QString work = QString::fromStdString(dorvo2test::makeTempDir("recall"));
    const QString document = work + "/synth.XDW";
    {
        QFile file(document);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(documentOnSynthPorts(input, output));
    }
    ASSERT_TRUE(display.start());
    QProcess host;
    host.setProcessEnvironment(display.environment);
    host.setProcessChannelMode(QProcess::MergedChannels);
    host.start(DORVO2_OUTERHOST, {"--input", "3", "--output", "3", "import", document, "resync",
                                  "wait", "6000", "quit"});
    // The user confirms the Recall.
    bool confirmed = false;
    QElapsedTimer waited;
    waited.start();
    while (!confirmed && waited.elapsed() < 20000 && host.state() != QProcess::NotRunning) {
        QString found;
        display.xdotool({"search", "--name", "Confirm Recall Synchronization"}, &found);
        const QString window = found.section('\n', 0, 0).trimmed();
        if (!window.isEmpty())
            confirmed = display.xdotool({"windowfocus", "--sync", window, "key", "Return"});
        QThread::msleep(200);
    }
    ASSERT_TRUE(host.waitForFinished(60000));
    const QString printed = QString::fromLocal8Bit(host.readAll());
    ASSERT_TRUE(confirmed) << printed.toStdString();
    ASSERT_EQ(host.exitCode(), 0) << printed.toStdString();

    // Each block dump went out through the outer application's output; the next one only
    // after the synthesizer's acknowledge came back through its input.
    for (const char* block : {"F0 7D 31 00 11 00", "F0 7D 31 00 11 01", "F0 7D 31 00 11 02"})
        EXPECT_TRUE(printed.contains(QStringLiteral("out port=3 sysex ") + block))
            << block << "\n"
            << printed.toStdString();
    EXPECT_TRUE(printed.contains("released (0 references left)"));
    EXPECT_FALSE(printed.contains("ERROR: AddressSanitizer")) << printed.toStdString();
    EXPECT_FALSE(printed.contains("ERROR: LeakSanitizer")) << printed.toStdString();
}

} // namespace
