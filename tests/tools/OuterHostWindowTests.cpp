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

TEST(OuterHostWindowTest, TheWorkspaceAndAnEditorInTheOuterApplicationsWindows) {
    const QString xvfbRun = QStandardPaths::findExecutable("xvfb-run");
    if (xvfbRun.isEmpty() || QStandardPaths::findExecutable("Xvfb").isEmpty())
        GTEST_SKIP() << "Xvfb is not installed (make test installs it)";
    for (const char* library : {DORVO2_COMPONENT_LIBRARY, DORVO2_EXAMPLE_LIBRARIES}) {
        const auto registered = dorvo2test::runProgram(DORVO2_REGSVR, {library});
        ASSERT_EQ(registered.exitCode, 0) << registered.output;
    }
    const QString folder = DORVO2_SCREENSHOT_DIR;
    QDir().mkpath(folder);
    const QString work = QString::fromStdString(dorvo2test::makeTempDir("window"));
    const QString document = QStringLiteral(DOCUMENTS_DIR) + "/examples.XDW";

    QProcess run;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "xcb");
    environment.insert("DORVO2_MIDI", "virtual");
    // The X keyboard library reads a string with strndup past its end, which the strict
    // string checks report; leaks are still looked for.
    environment.insert("ASAN_OPTIONS", "detect_leaks=1:strict_string_checks=0");
    run.setProcessEnvironment(environment);
    run.setProcessChannelMode(QProcess::MergedChannels);
    run.start(xvfbRun, {"-a",
                        "-s",
                        "-screen 0 1280x1024x24",
                        DORVO2_OUTERHOST,
                        "--window",
                        "import",
                        document,
                        "show",
                        "wait",
                        "2000",
                        "snapshot",
                        work + "/shown.ppm",
                        "pages",
                        "resize",
                        "700",
                        "500",
                        "wait",
                        "1500",
                        "snapshot",
                        work + "/resized.ppm",
                        "import",
                        document,
                        "wait",
                        "1500",
                        "pages",
                        "quit"});
    ASSERT_TRUE(run.waitForFinished(150000));
    const QString output = QString::fromLocal8Bit(run.readAll());
    ASSERT_EQ(run.exitCode(), 0) << output.toStdString();

    // The Workspace in the main window, at the page's first size.
    EXPECT_TRUE(output.contains(QRegularExpression("window main 0x[0-9A-F]+ 400x300")))
        << output.toStdString();
    // The editor's page is titled with the component's Workspace name, not the editor's own.
    EXPECT_EQ(linesWith(output, "page shown \"Demo Synth 1\""), 2) << output.toStdString();
    EXPECT_EQ(linesWith(output, "editor page \"Demo Synth 1\""), 2);
    EXPECT_TRUE(output.contains("page moved 700x500"));
    // The second load asked the outer application to close the page before it.
    const qsizetype closed = output.indexOf("page closed \"Demo Synth 1\"");
    ASSERT_GE(closed, 0) << output.toStdString();
    EXPECT_LT(output.indexOf("page shown"), closed);
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

// The first window of that name on the display, or empty.
QString findWindow(const QString& xdotool, const QProcessEnvironment& environment,
                   const QString& name) {
    QProcess search;
    search.setProcessEnvironment(environment);
    search.start(xdotool, {"search", "--name", name});
    search.waitForFinished(5000);
    return QString::fromLocal8Bit(search.readAll()).section('\n', 0, 0).trimmed();
}

TEST(OuterHostWindowTest, ARecallReachesTheSynthesizerThroughTheOuterApplicationsPorts) {
    const QString xvfb = QStandardPaths::findExecutable("Xvfb");
    const QString xdotool = QStandardPaths::findExecutable("xdotool");
    if (xvfb.isEmpty() || xdotool.isEmpty())
        GTEST_SKIP() << "Xvfb or xdotool is not installed (make test installs them)";
    for (const char* library : {DORVO2_COMPONENT_LIBRARY, DORVO2_EXAMPLE_LIBRARIES})
        ASSERT_EQ(dorvo2test::runProgram(DORVO2_REGSVR, {library}).exitCode, 0);
    const auto [input, output] = synthPortIds();
    ASSERT_FALSE(input.isNull() || output.isNull());
    const QString work = QString::fromStdString(dorvo2test::makeTempDir("recall"));
    const QString document = work + "/synth.XDW";
    {
        QFile file(document);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(documentOnSynthPorts(input, output));
    }

    // A display of its own, so that the confirmation can be answered on it.
    const QString display =
        QStringLiteral(":%1").arg(100 + QCoreApplication::applicationPid() % 400);
    QProcess server;
    server.start(xvfb, {display, "-screen", "0", "1024x768x24", "-nolisten", "tcp"});
    ASSERT_TRUE(server.waitForStarted());
    QThread::msleep(500);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("DISPLAY", display);
    environment.insert("QT_QPA_PLATFORM", "xcb");
    environment.insert("ASAN_OPTIONS", "detect_leaks=1:strict_string_checks=0");
    QProcess host;
    host.setProcessEnvironment(environment);
    host.setProcessChannelMode(QProcess::MergedChannels);
    host.start(DORVO2_OUTERHOST, {"--input", "3", "--output", "3", "import", document, "resync",
                                  "wait", "6000", "quit"});
    // The user confirms the Recall.
    bool confirmed = false;
    QElapsedTimer waited;
    waited.start();
    while (!confirmed && waited.elapsed() < 20000 && host.state() != QProcess::NotRunning) {
        const QString window =
            findWindow(xdotool, environment, QStringLiteral("Confirm Recall Synchronization"));
        if (!window.isEmpty()) {
            QProcess key;
            key.setProcessEnvironment(environment);
            key.start(xdotool, {"windowfocus", "--sync", window, "key", "Return"});
            confirmed = key.waitForFinished(5000) && key.exitCode() == 0;
        }
        QThread::msleep(200);
    }
    ASSERT_TRUE(host.waitForFinished(60000));
    server.terminate();
    server.waitForFinished(5000);
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
