// Where Help finds the manual: beside the program (as the build leaves it), else in the installed
// layout's share/doc/dorvo2, found from the program's folder wherever the installation was put.
#include "TManual.h"
#include "TestEnvironment.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

namespace {

bool writeFile(const QString& path) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write("%PDF-1.4\n") > 0;
}

TEST(ManualLocationTest, BesideTheProgramFirstThenTheInstalledLayout) {
    const QString root = QString::fromStdString(dorvo2test::makeTempDir("manual"));
    const QString program = root + "/bin";
    const QString library = root + "/lib/x86_64-linux-gnu/dorvo2";
    const QString installed = root + "/share/doc/dorvo2/Dorvo.pdf";
    QDir().mkpath(program);
    QDir().mkpath(library + "/deeper");

    // Nowhere yet: the installed place is named, without the way up to it.
    EXPECT_EQ(TManual::location(program), installed);
    EXPECT_FALSE(TManual::location(program).contains(".."));

    ASSERT_TRUE(writeFile(installed));
    EXPECT_EQ(TManual::location(program), installed);
    // The component library, in PREFIX/lib/dorvo2 or in a multiarch folder below lib.
    EXPECT_EQ(TManual::location(root + "/lib/dorvo2"), installed);
    EXPECT_EQ(TManual::location(library), installed);
    // Not from further away: the place one folder up is named instead.
    EXPECT_EQ(TManual::location(library + "/deeper"), library + "/share/doc/dorvo2/Dorvo.pdf");

    // The build's copy beside the program comes first.
    ASSERT_TRUE(writeFile(program + "/Dorvo.pdf"));
    EXPECT_EQ(TManual::location(program), program + "/Dorvo.pdf");
    EXPECT_EQ(TManual::location(library), installed);

    // A folder of that name is no manual.
    ASSERT_TRUE(QDir().mkpath(library + "/Dorvo.pdf"));
    EXPECT_EQ(TManual::location(library), installed);

    // Only the copy beside the program is left; elsewhere the missing installed one is named.
    ASSERT_TRUE(QFile::remove(installed));
    EXPECT_EQ(TManual::location(program), program + "/Dorvo.pdf");
    EXPECT_EQ(TManual::location(root + "/lib"), installed);
    EXPECT_EQ(TManual::location(library),
              root + "/lib/x86_64-linux-gnu/share/doc/dorvo2/Dorvo.pdf");

    // The program looks from its own folder.
    EXPECT_EQ(TManual::ownFolder(), QCoreApplication::applicationDirPath());
}

} // namespace
