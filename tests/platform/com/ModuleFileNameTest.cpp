#include <dorvo/objbase.h>

#include <gtest/gtest.h>

#include <QFileInfo>
#include <QString>

namespace {

QString moduleOf(const void* address) {
    WCHAR buffer[4096];
    const DWORD length = DorvoGetModuleFileName(address, buffer, 4096);
    return QString::fromUtf16(buffer, length);
}

const int g_programAnchor = 0;

TEST(ModuleFileName, NamesTheLibraryOrProgramThatHoldsAnAddress) {
    const QString library = moduleOf(reinterpret_cast<const void*>(&CoTaskMemAlloc));
    // The file itself, which carries the full version: the names without it are links.
    EXPECT_TRUE(QFileInfo(library).fileName().startsWith(QStringLiteral("libdorvo2ole.so.2.")))
        << qPrintable(library);
    EXPECT_EQ(QFileInfo(library).canonicalFilePath(), library) << "absolute, without links";

    const QString program = moduleOf(&g_programAnchor);
    EXPECT_EQ(program, QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath());
    EXPECT_EQ(moduleOf(nullptr), program) << "null names the program";
}

TEST(ModuleFileName, TruncatesLikeTheWindowsCallAndFailsOutsideAnyModule) {
    const QString full = moduleOf(nullptr);
    ASSERT_GT(full.size(), 4);
    WCHAR buffer[5] = {u'#', u'#', u'#', u'#', u'#'};
    EXPECT_EQ(DorvoGetModuleFileName(nullptr, buffer, 5), 5u);
    EXPECT_EQ(QString::fromUtf16(buffer), full.left(4)) << "cut and terminated";

    EXPECT_EQ(DorvoGetModuleFileName(nullptr, buffer, 0), 0u);
    EXPECT_EQ(DorvoGetModuleFileName(nullptr, nullptr, 5), 0u);

    const int onTheStack = 0;
    EXPECT_EQ(DorvoGetModuleFileName(&onTheStack, buffer, 5), 0u);
}

} // namespace
