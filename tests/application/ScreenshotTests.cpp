// Screenshots of the real windows on a virtual X display, saved in the build folder for a
// person to look at. Skipped where Xvfb is not installed.
#include "ComTestSupport.h"
#include "HostingTestSupport.h"
#include "Images.h"

#include <QColor>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <gtest/gtest.h>

namespace {

bool contains(const QImage& image, const QColor& colour) {
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y) == colour)
                return true;
    return false;
}

TEST(ScreenshotTest, WorkspaceWindowAndAboutBoxOnAVirtualDisplay) {
    const QString xvfbRun = QStandardPaths::findExecutable("xvfb-run");
    if (xvfbRun.isEmpty() || QStandardPaths::findExecutable("Xvfb").isEmpty())
        GTEST_SKIP() << "Xvfb is not installed (make test installs it): no screenshots";

        // The helper shows an icon for every component installed in this test's registry.
#ifdef DEMO_SYNTH
    for (const char* library : {DEMO_SYNTH, MIDI_MONITOR, SYSEX_LIBRARIAN}) {
        const comtest::ProgramResult result = comtest::runProgram(DORVO2_REGSVR, {library});
        ASSERT_EQ(result.exitCode, 0) << result.output;
    }
#else
    ASSERT_TRUE(hostingtest::registerRecordingComponent());
#endif
    const QString folder = DORVO2_SCREENSHOT_DIR;
    QFile::remove(folder + "/workspace-window.png");
    QFile::remove(folder + "/about-box.png");
    QFile::remove(folder + "/splash.png");
    QFile::remove(folder + "/editor-window.png");
    QFile::remove(folder + "/recall-confirm.png");
    QFile::remove(folder + "/recall-progress.png");
    QProcess run;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "xcb");
    environment.insert("ASAN_OPTIONS", "detect_leaks=0");
    run.setProcessEnvironment(environment);
    run.setProcessChannelMode(QProcess::MergedChannels);
    run.start(xvfbRun, {"-a", "-s", "-screen 0 1024x768x24", DORVO2_SCREENSHOT_HELPER, folder});
    ASSERT_TRUE(run.waitForFinished(120000));
    ASSERT_EQ(run.exitCode(), 0) << run.readAll().toStdString();

    const QImage workspace(folder + "/workspace-window.png");
    ASSERT_FALSE(workspace.isNull());
    EXPECT_EQ(workspace.size(), QSize(600, 400));
    EXPECT_TRUE(contains(workspace, QColor(102, 105, 124))); // the icon view's ground

    const QImage about(folder + "/about-box.png");
    ASSERT_FALSE(about.isNull());
    EXPECT_EQ(about.size(), QSize(460, 288));
    // Above the painted texts the box shows the about image as it is.
    const QImage plain = dorvo::lookupImage("HostAbout.png").toImage();
    EXPECT_EQ(about.copy(0, 0, 460, 140).convertToFormat(QImage::Format_RGB32),
              plain.copy(0, 0, 460, 140).convertToFormat(QImage::Format_RGB32));
    EXPECT_EQ(QImage(folder + "/splash.png").size(), QSize(460, 288));
    // An editor window with the component's page in it, not an empty frame.
    const QImage editor(folder + "/editor-window.png");
    ASSERT_FALSE(editor.isNull());
    EXPECT_GT(editor.width(), 100);
    EXPECT_GT(editor.height(), 100);
#ifdef DEMO_SYNTH
    // A Recall of three Demo Synths: its confirmation, and its progress with three lines.
    const QImage confirm(folder + "/recall-confirm.png");
    const QImage progress(folder + "/recall-progress.png");
    ASSERT_FALSE(confirm.isNull());
    ASSERT_FALSE(progress.isNull());
    EXPECT_GT(progress.height(), 3 * 60);
#endif
    std::printf("Screenshots: splash.png, workspace-window.png, editor-window.png, about-box.png, "
                "recall-confirm.png, recall-progress.png in %s\n",
                qPrintable(folder));
}

} // namespace
