// The component build inside an outer application's own X11 windows, in real processes on a
// virtual display: dorvo2-outerhost places the component's property page (the Workspace) in its
// main window and shows the Demo Synth's editor, which the loaded document had open, as a page
// in a second window of its own. Resizing the main window resizes the Workspace; a second load
// closes the editor's page first (and opens it again afterwards). Screenshots stay in the build
// folder. Skipped where Xvfb is not installed.
#include "ProgramRun.h"
#include "TestEnvironment.h"

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

} // namespace
