// The user's manual: dorvo2-manual run as a program on Markdown of the test's own (chapters,
// pictures beside them, files it cannot read, a place it cannot write), and the Dorvo.pdf that
// the build made with it. Where pdftoppm is installed, pages are rendered and looked at.
#include "ProgramRun.h"
#include "TestEnvironment.h"

#include <QColor>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <QStandardPaths>
#include <cstdlib>
#include <gtest/gtest.h>

namespace {

const QColor kPictureColour(200, 30, 40);
const QColor kFieldColour(30, 60, 200);

QByteArray contentsOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeText(const QString& path, const QString& text) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text.toUtf8()) >= 0;
}

// The page count that the PDF's page tree declares.
int declaredPages(const QByteArray& pdf) {
    const QRegularExpression tree(QStringLiteral("/Type\\s*/Pages\\b[^>]*?/Count\\s+(\\d+)"),
                                  QRegularExpression::DotMatchesEverythingOption);
    const auto found = tree.match(QString::fromLatin1(pdf));
    return found.hasMatch() ? found.captured(1).toInt() : -1;
}

dorvo2test::ProgramResult runManual(const QStringList& arguments) {
    std::vector<std::string> list;
    for (const QString& argument : arguments)
        list.push_back(argument.toStdString());
    return dorvo2test::runProgram(DORVO2_MANUAL_TOOL, list);
}

// Every page of the PDF as an image, or nothing when pdftoppm is not installed.
QList<QImage> renderedPages(const QString& pdf, int resolution) {
    const QString pdftoppm = QStandardPaths::findExecutable(QStringLiteral("pdftoppm"));
    if (pdftoppm.isEmpty())
        return {};
    const QString folder = QString::fromStdString(dorvo2test::makeTempDir("pages"));
    const auto rendered = dorvo2test::runProgram(
        pdftoppm.toStdString(), {"-r", std::to_string(resolution), "-png", pdf.toStdString(),
                                 (folder + "/page").toStdString()});
    EXPECT_EQ(rendered.exitCode, 0) << rendered.output;
    QList<QImage> pages;
    const QDir dir(folder);
    for (const QString& name : dir.entryList({QStringLiteral("*.png")}, QDir::Files, QDir::Name))
        pages.append(QImage(dir.filePath(name)).convertToFormat(QImage::Format_RGB32));
    return pages;
}

// Share of the area's pixels that are not the page's white.
double inkIn(const QImage& image, const QRect& area) {
    qint64 ink = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            ink += QColor(image.pixel(x, y)).lightness() < 235;
    return double(ink) / double(qint64(area.width()) * area.height());
}

bool hasColourNear(const QImage& image, const QColor& colour, int tolerance) {
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor pixel(image.pixel(x, y));
            if (std::abs(pixel.red() - colour.red()) <= tolerance &&
                std::abs(pixel.green() - colour.green()) <= tolerance &&
                std::abs(pixel.blue() - colour.blue()) <= tolerance)
                return true;
        }
    }
    return false;
}

TEST(ManualToolTest, MakesChaptersIntoAPdfAndRefusesWhatItCannotReadOrWrite) {
    const QString dir = QString::fromStdString(dorvo2test::makeTempDir("manual-tool"));

    const auto help = runManual({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.output.find("Usage: dorvo2-manual OUTPUT.pdf INPUT.md..."), std::string::npos)
        << help.output;
    const auto bare = runManual({dir + "/only-an-output.pdf"});
    EXPECT_EQ(bare.exitCode, 2);
    EXPECT_NE(bare.output.find("Usage:"), std::string::npos) << bare.output;

    // Two chapters in folders of their own, with a picture beside the first: a red block in
    // the corner of a blue field. The first chapter shows it trimmed (without the blue edges),
    // the second, long enough for more than one page, whole.
    QImage picture(200, 120, QImage::Format_RGB32);
    picture.fill(kFieldColour);
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 100; ++x)
            picture.setPixelColor(x, y, kPictureColour);
    ASSERT_TRUE(QDir().mkpath(dir + "/one/pictures"));
    ASSERT_TRUE(picture.save(dir + "/one/pictures/red.png"));
    ASSERT_TRUE(writeText(dir + "/one/first.md", "# The first chapter\n\nSome text.\n\n"
                                                 "![A picture](pictures/red.png#trim)\n"));
    QString longText = "# The second chapter\n\n![Whole](../one/pictures/red.png)\n\n";
    for (int i = 0; i < 120; ++i)
        longText += QString("Paragraph %1 of the second chapter, a line of its own.\n\n").arg(i);
    ASSERT_TRUE(writeText(dir + "/two/second.md", longText));

    const QString pdf = dir + "/out/manual.pdf";
    ASSERT_TRUE(QDir().mkpath(dir + "/out"));
    const auto made = runManual({pdf, dir + "/one/first.md", dir + "/two/second.md"});
    ASSERT_EQ(made.exitCode, 0) << made.output;
    const QByteArray bytes = contentsOf(pdf);
    EXPECT_TRUE(bytes.startsWith("%PDF-"));
    const int pages = declaredPages(bytes);
    // The title page, one page of the first chapter, at least two of the second.
    EXPECT_GE(pages, 4);
    EXPECT_EQ(bytes.count("/Subtype /Image"), 2) << "both pictures are in the PDF";

    const QList<QImage> rendered = renderedPages(pdf, 40);
    if (!rendered.isEmpty()) {
        ASSERT_EQ(rendered.size(), pages);
        EXPECT_FALSE(hasColourNear(rendered[0], kPictureColour, 30));
        // The first chapter's page: the red block alone; the second's: the whole picture.
        EXPECT_TRUE(hasColourNear(rendered[1], kPictureColour, 30));
        EXPECT_FALSE(hasColourNear(rendered[1], kFieldColour, 30));
        EXPECT_TRUE(hasColourNear(rendered[2], kPictureColour, 30));
        EXPECT_TRUE(hasColourNear(rendered[2], kFieldColour, 30));
        EXPECT_FALSE(hasColourNear(rendered[3], kFieldColour, 30));
    }

    // Only "trim" is known after the picture's name.
    ASSERT_TRUE(writeText(dir + "/one/odd.md", "# Odd\n\n![Odd](pictures/red.png#crop)\n"));
    const auto odd = runManual({dir + "/out/odd.pdf", dir + "/one/odd.md"});
    EXPECT_EQ(odd.exitCode, 1);
    EXPECT_NE(odd.output.find("\"crop\""), std::string::npos) << odd.output;

    // An input that is not there: nothing written, and what was there before is kept.
    ASSERT_TRUE(writeText(dir + "/out/kept.pdf", "earlier"));
    const auto missing =
        runManual({dir + "/out/kept.pdf", dir + "/one/first.md", dir + "/nowhere/missing.md"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.output.find("missing.md"), std::string::npos) << missing.output;
    EXPECT_EQ(contentsOf(dir + "/out/kept.pdf"), "earlier");

    // A picture that is not there is named.
    ASSERT_TRUE(writeText(dir + "/one/broken.md", "# Broken\n\n![Gone](pictures/gone.png)\n"));
    const auto noPicture = runManual({dir + "/out/broken.pdf", dir + "/one/broken.md"});
    EXPECT_EQ(noPicture.exitCode, 1);
    EXPECT_NE(noPicture.output.find("gone.png"), std::string::npos) << noPicture.output;
    EXPECT_FALSE(QFile::exists(dir + "/out/broken.pdf"));

    // A place that cannot be written.
    const QString unwritable = dir + "/no-such-folder/manual.pdf";
    const auto refused = runManual({unwritable, dir + "/one/first.md"});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(refused.output.find(unwritable.toStdString()), std::string::npos) << refused.output;
    EXPECT_FALSE(QFile::exists(unwritable));
}

TEST(ManualTest, TheBuildMadeDorvoPdfBesideTheProgramWithNumberedPages) {
    const QByteArray bytes = contentsOf(DORVO2_MANUAL_PDF);
    ASSERT_FALSE(bytes.isEmpty()) << "no " << DORVO2_MANUAL_PDF;
    EXPECT_TRUE(bytes.startsWith("%PDF-"));
    // The component library, whose Help looks beside itself, has the same manual.
    EXPECT_EQ(contentsOf(DORVO2_COMPONENT_MANUAL_PDF), bytes);
    const int pages = declaredPages(bytes);
    EXPECT_GE(pages, 6);

    const QList<QImage> rendered = renderedPages(DORVO2_MANUAL_PDF, 30);
    if (rendered.isEmpty())
        GTEST_SKIP() << "pdftoppm is not installed (make test installs it): pages not looked at";
    ASSERT_EQ(rendered.size(), pages);
    // The title page opens with the band in the Workspace's colour.
    EXPECT_TRUE(hasColourNear(rendered[0], QColor(102, 105, 124), 12));
    bool workspaceShown = false;
    for (int i = 0; i < rendered.size(); ++i) {
        const QImage& page = rendered[i];
        const QRect whole = page.rect();
        EXPECT_GT(inkIn(page, whole), 0.005) << "page " << i + 1 << " is blank";
        if (i == 0)
            continue;
        // Every chapter page has its footer (a rule, the chapter and the page number) between
        // the text, which ends 27 mm above the page's foot, and the bottom margin of 12 mm.
        const QRect footer(0, whole.height() * 925 / 1000, whole.width(),
                           whole.height() * 45 / 1000);
        EXPECT_GT(inkIn(page, footer), 0.002) << "page " << i + 1 << " has no footer";
        workspaceShown = workspaceShown || hasColourNear(page, QColor(102, 105, 124), 6);
    }
    // The screenshots are in it: the Workspace window's ground on a chapter page.
    EXPECT_TRUE(workspaceShown);
    EXPECT_GE(bytes.count("/Subtype /Image"), 4);
}

} // namespace
