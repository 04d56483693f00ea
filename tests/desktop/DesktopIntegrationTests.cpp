// `cmake --install` lays out the programs with the platform library they find beside them, and
// the desktop learns from the installed files that a workspace document, by its name or by its
// first bytes, opens with Dorvo.
#include "ProgramRun.h"
#include "TestEnvironment.h"

#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QStandardPaths>
#include <gtest/gtest.h>

using dorvo2test::runProgram;

namespace {

TEST(DesktopIntegrationTest, InstalledProgramsAndDesktopFilesOpenWorkspaceDocuments) {
    const std::string prefix = dorvo2test::makeTempDir("prefix");
    const auto install = runProgram(CMAKE_COMMAND, {"--install", BUILD_DIR, "--prefix", prefix});
    ASSERT_EQ(install.exitCode, 0) << install.output;
    const QString root = QString::fromStdString(prefix);
    for (const char* file :
         {"bin/dorvo2", "bin/dorvo2-regsvr", "bin/dorvo2-xdw", "lib/libdorvo2ole.so",
          "lib/libdorvo2ole.so.2", "share/applications/dorvo2.desktop",
          "share/mime/packages/dorvo2-workspace.xml",
          "share/icons/hicolor/scalable/apps/dorvo2.svg",
          "share/icons/hicolor/scalable/mimetypes/application-x-dorvo-workspace.svg"})
        EXPECT_TRUE(QFileInfo::exists(root + "/" + file)) << file;

    // The program finds the platform library of its own prefix, by its major version.
    const auto linked = runProgram("/usr/bin/ldd", {prefix + "/bin/dorvo2"});
    EXPECT_NE(
        linked.output.find("libdorvo2ole.so.2 => " + prefix + "/bin/../lib/libdorvo2ole.so.2"),
        std::string::npos)
        << linked.output;
    EXPECT_EQ(runProgram(prefix + "/bin/dorvo2-xdw", {"validate", DOCUMENT}).exitCode, 0);

    // The menu entry opens a document handed to it with the program.
    QFile desktopFile(root + "/share/applications/dorvo2.desktop");
    ASSERT_TRUE(desktopFile.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(desktopFile.readAll()).split('\n');
    for (const char* line : {"Exec=dorvo2 %f", "MimeType=application/x-dorvo-workspace;",
                             "Icon=dorvo2", "Type=Application"})
        EXPECT_TRUE(lines.contains(line)) << line;
    const QString validator = QStandardPaths::findExecutable("desktop-file-validate");
    if (!validator.isEmpty()) {
        const auto valid =
            runProgram(validator.toStdString(), {prefix + "/share/applications/dorvo2.desktop"});
        EXPECT_EQ(valid.exitCode, 0) << valid.output;
    }

    // The install compiled the document type; the desktop's type database sees it.
    ASSERT_TRUE(QFileInfo::exists(root + "/share/mime/mime.cache"))
        << "update-mime-database did not run at install";
    qputenv("XDG_DATA_DIRS", (root + "/share").toLocal8Bit());
    const QMimeDatabase types;
    EXPECT_EQ(types.mimeTypeForFile("Studio.XDW", QMimeDatabase::MatchExtension).name(),
              "application/x-dorvo-workspace");
    EXPECT_EQ(types.mimeTypeForFile("studio.xdw", QMimeDatabase::MatchExtension).name(),
              "application/x-dorvo-workspace");
    const std::string unnamed = dorvo2test::makeTempDir("unnamed") + "/studio-backup";
    ASSERT_TRUE(QFile::copy(DOCUMENT, QString::fromStdString(unnamed)));
    EXPECT_EQ(
        types.mimeTypeForFile(QString::fromStdString(unnamed), QMimeDatabase::MatchContent).name(),
        "application/x-dorvo-workspace");
}

} // namespace
