// `cmake --install` into a prefix of the test's own: the programs with the platform library they
// find beside them, the components registered for every user, the desktop files through which a
// workspace document, by its name or by its first bytes, opens with Dorvo, and the SDK with
// which a component is built and registered outside this tree. Everything runs from the prefix.
#include "ProgramRun.h"
#include "TestEnvironment.h"

#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QStandardPaths>
#include <dorvo/version.h>
#include <gtest/gtest.h>

using dorvo2test::runProgram;

namespace {

// One installation for all tests of the program.
class DesktopIntegrationTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        s_prefix = dorvo2test::makeTempDir("prefix");
        const auto install =
            runProgram(CMAKE_COMMAND, {"--install", BUILD_DIR, "--prefix", s_prefix});
        s_installOutput = install.output;
        s_installed = install.exitCode == 0;
    }
    void SetUp() override { ASSERT_TRUE(s_installed) << s_installOutput; }

    static std::string s_prefix;
    static std::string s_installOutput;
    static bool s_installed;
};

std::string DesktopIntegrationTest::s_prefix;
std::string DesktopIntegrationTest::s_installOutput;
bool DesktopIntegrationTest::s_installed = false;

TEST_F(DesktopIntegrationTest, InstalledProgramsAndDesktopFilesOpenWorkspaceDocuments) {
    const std::string& prefix = s_prefix;
    const QString root = QString::fromStdString(prefix);
    for (const char* file :
         {"bin/dorvo2",
          "bin/dorvo2-regsvr",
          "bin/dorvo2-xdw",
          "bin/dorvo2-outerhost",
          "lib/libdorvo2ole.so",
          "lib/libdorvo2ole.so.2",
          "lib/dorvo2/libdorvo2comp.so",
          "lib/dorvo2/components/libdorvo2_demosynth.so",
          "lib/dorvo2/components/DemoSynth.png",
          "include/dorvo/dorvo2.h",
          "include/dorvo/version.h",
          "lib/pkgconfig/dorvo2.pc",
          "lib/cmake/Dorvo2/Dorvo2Config.cmake",
          "share/man/man1/dorvo2.1.gz",
          "share/man/man1/dorvo2-regsvr.1.gz",
          "share/doc/dorvo2/Dorvo.pdf",
          "share/applications/dorvo2.desktop",
          "share/mime/packages/dorvo2-workspace.xml",
          "share/icons/hicolor/scalable/apps/dorvo2.svg",
          "share/icons/hicolor/scalable/mimetypes/application-x-dorvo-workspace.svg"})
        EXPECT_TRUE(QFileInfo::exists(root + "/" + file)) << file;
    const auto version = runProgram(prefix + "/bin/dorvo2", {"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.output, "dorvo2 " DORVO2_VERSION_STRING "\n");

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

// What a component author does with the installed SDK: builds the Template with pkg-config and
// with CMake, registers it for themselves, and finds it offered beside the components that the
// installation registered for every user.
TEST_F(DesktopIntegrationTest, TheTemplateBuildsAgainstTheInstalledSdkAndIsOffered) {
    const std::string sources = dorvo2test::makeTempDir("template");
    const auto copied = runProgram("/bin/cp", {"-R", TEMPLATE_DIR + std::string("/."), sources});
    ASSERT_EQ(copied.exitCode, 0) << copied.output;

    const auto made = runProgram("/usr/bin/make",
                                 {"-C", sources, "PKG_CONFIG_PATH=" + s_prefix + "/lib/pkgconfig"});
    ASSERT_EQ(made.exitCode, 0) << made.output;
    const std::string built = sources + "/cmake-build";
    const auto configured =
        runProgram(CMAKE_COMMAND, {"-S", sources, "-B", built, "-DCMAKE_PREFIX_PATH=" + s_prefix});
    ASSERT_EQ(configured.exitCode, 0) << configured.output;
    const auto compiled = runProgram(CMAKE_COMMAND, {"--build", built});
    ASSERT_EQ(compiled.exitCode, 0) << compiled.output;
    EXPECT_TRUE(QFileInfo::exists(QString::fromStdString(built + "/libdorvo2_template.so")));

    const auto before = runProgram(s_prefix + "/bin/dorvo2", {"--list-components"});
    ASSERT_EQ(before.exitCode, 0) << before.output;
    for (const char* name : {"Demo Synth\t{", "MIDI Monitor\t{", "SysEx Librarian\t{"})
        EXPECT_NE(before.output.find(name), std::string::npos) << before.output;
    EXPECT_EQ(before.output.find("Template\t{"), std::string::npos) << before.output;

    const std::string library = sources + "/libdorvo2_template.so";
    const auto registered = runProgram(s_prefix + "/bin/dorvo2-regsvr", {library});
    ASSERT_EQ(registered.exitCode, 0) << registered.output;
    const auto after = runProgram(s_prefix + "/bin/dorvo2", {"--list-components"});
    EXPECT_NE(after.output.find("Template\t{"), std::string::npos) << after.output;
    EXPECT_NE(after.output.find("Demo Synth\t{"), std::string::npos) << after.output;

    // The user's registration was the user's: it goes again, the installation's stay.
    const auto unregistered = runProgram(s_prefix + "/bin/dorvo2-regsvr", {"-u", library});
    EXPECT_EQ(unregistered.exitCode, 0) << unregistered.output;
    const auto last = runProgram(s_prefix + "/bin/dorvo2", {"--list-components"});
    EXPECT_EQ(last.output.find("Template\t{"), std::string::npos) << last.output;
    EXPECT_NE(last.output.find("Demo Synth\t{"), std::string::npos) << last.output;
}

} // namespace
