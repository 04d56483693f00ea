#include "ComTestSupport.h"
#include "TestComponentIds.h"
#include "TestEnvironment.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>

namespace {

using comtest::runProgram;

const QString kClassKey = comtest::classKeyName(CLSID_DorvoTestComponent);

TEST(Regsvr, RegistersAndUnregistersThroughTheLibrarysOwnFunctions) {
    runProgram(DORVO2_REGSVR, {"-u", TEST_COMPONENT}); // a leftover of another test

    const auto registered = runProgram(DORVO2_REGSVR, {TEST_COMPONENT});
    ASSERT_EQ(registered.exitCode, 0) << registered.output;
    QString text;
    ASSERT_TRUE(comtest::readClassesText(kClassKey, QString(), &text));
    EXPECT_EQ(text, QString::fromUtf16(kTestComponentDescription));
    ASSERT_TRUE(
        comtest::readClassesText(kClassKey + QStringLiteral("\\InprocServer32"), QString(), &text));
    EXPECT_EQ(text, QFileInfo(QStringLiteral(TEST_COMPONENT)).canonicalFilePath());
    ASSERT_TRUE(comtest::readClassesText(kClassKey + QStringLiteral("\\InprocServer32"),
                                         QStringLiteral("ThreadingModel"), &text));
    EXPECT_EQ(text, QString::fromUtf16(kTestComponentThreadingModel));

    const auto unregistered = runProgram(DORVO2_REGSVR, {"-u", TEST_COMPONENT});
    ASSERT_EQ(unregistered.exitCode, 0) << unregistered.output;
    EXPECT_FALSE(comtest::readClassesText(kClassKey, QString(), &text));

    // The library's own function fails now: nothing is registered.
    const auto again = runProgram(DORVO2_REGSVR, {"-u", TEST_COMPONENT});
    EXPECT_NE(again.exitCode, 0);
    EXPECT_NE(again.output.find("DllUnregisterServer"), std::string::npos) << again.output;
    EXPECT_NE(again.output.find("0x80040201"), std::string::npos) << again.output;
}

TEST(Regsvr, SaysWhyALibraryCannotBeRegistered) {
    const std::string dir = dorvo2test::makeTempDir("regsvr");

    const std::string missing = dir + "/missing.so";
    auto result = runProgram(DORVO2_REGSVR, {missing});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.output.find("cannot load " + missing), std::string::npos) << result.output;

    const std::string garbage = dir + "/garbage.so";
    QFile file(QString::fromStdString(garbage));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("not a shared library");
    file.close();
    result = runProgram(DORVO2_REGSVR, {garbage});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.output.find("cannot load " + garbage), std::string::npos) << result.output;

    result = runProgram(DORVO2_REGSVR, {NO_EXPORTS_LIBRARY});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.output.find("does not export DllRegisterServer"), std::string::npos)
        << result.output;
    result = runProgram(DORVO2_REGSVR, {"-u", NO_EXPORTS_LIBRARY});
    EXPECT_NE(result.output.find("does not export DllUnregisterServer"), std::string::npos)
        << result.output;

    result = runProgram(DORVO2_REGSVR, {});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_NE(result.output.find("Usage: dorvo2-regsvr"), std::string::npos) << result.output;
    result = runProgram(DORVO2_REGSVR, {"-x", TEST_COMPONENT});
    EXPECT_EQ(result.exitCode, 2);
}

} // namespace
