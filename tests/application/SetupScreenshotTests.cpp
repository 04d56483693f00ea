// Screenshots of the setup dialog's three pages and the re-mapping dialog on a virtual X display,
// saved in the build folder for a person to look at. Skipped where Xvfb is not installed.
#include "HostingTestSupport.h"

#include <QFile>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <gtest/gtest.h>

TEST(SetupScreenshotTest, SetupAndReMappingDialogsOnAVirtualDisplay) {
    const QString xvfbRun = QStandardPaths::findExecutable("xvfb-run");
    if (xvfbRun.isEmpty() || QStandardPaths::findExecutable("Xvfb").isEmpty())
        GTEST_SKIP() << "Xvfb is not installed (make test installs it): no screenshots";

    // The Workspace page offers the components installed in this test's registry.
    ASSERT_TRUE(hostingtest::registerRecordingComponent());
    const QString folder = DORVO2_SCREENSHOT_DIR;
    const QStringList files = {"setup-workspace.png", "setup-midi-settings.png",
                               "setup-preferences.png"};
    for (const QString& file : files + QStringList{"remap-ports.png"})
        QFile::remove(folder + "/" + file);
    QProcess run;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "xcb");
    environment.insert("ASAN_OPTIONS", "detect_leaks=0");
    run.setProcessEnvironment(environment);
    run.start(xvfbRun,
              {"-a", "-s", "-screen 0 1024x768x24", DORVO2_SETUP_SCREENSHOT_HELPER, folder});
    ASSERT_TRUE(run.waitForFinished(120000));
    const QString output = QString::fromLocal8Bit(run.readAllStandardOutput());
    ASSERT_EQ(run.exitCode(), 0) << output.toStdString()
                                 << run.readAllStandardError().toStdString();

    // Each page is the whole dialog, and the pages differ.
    const QStringList size = output.trimmed().split('\n').last().split('x');
    ASSERT_EQ(size.size(), 2) << output.toStdString();
    QList<QImage> pages;
    for (const QString& file : files) {
        const QImage page(folder + "/" + file);
        ASSERT_FALSE(page.isNull()) << file.toStdString();
        EXPECT_EQ(page.size(), QSize(size[0].toInt(), size[1].toInt())) << file.toStdString();
        pages.append(page.convertToFormat(QImage::Format_RGB32));
    }
    EXPECT_NE(pages[0], pages[1]);
    EXPECT_NE(pages[1], pages[2]);
    // The re-mapping dialog of a document whose ports are missing here.
    const QImage remap(folder + "/remap-ports.png");
    EXPECT_FALSE(remap.isNull());
    EXPECT_GT(remap.width(), 300);
    std::printf("Screenshots: %s in %s\n", qPrintable(files.join(", ")), qPrintable(folder));
}
