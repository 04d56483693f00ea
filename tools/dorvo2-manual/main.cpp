// dorvo2-manual OUTPUT.pdf INPUT.md...: makes the user's manual, an A4 PDF, from Markdown files,
// one chapter each, in the order given. Images named in a file are read from that file's folder
// ("picture.png#trim" without the plain edges of a screenshot). Needs no display: the build
// runs it.
#include "TManualPrinter.h"
#include "TMarkdownChapter.h"

#include <dorvo/version.h>

#include <QGuiApplication>
#include <QString>
#include <QStringList>

#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

void printUsage(FILE* out) {
    std::fputs("Usage: dorvo2-manual OUTPUT.pdf INPUT.md...\n"
               "Makes the Dorvo user's manual: a title page with the contents, then each\n"
               "Markdown file as a chapter from a new page, on A4 with numbered pages.\n"
               "Images are read relative to the folder of the file that names them;\n"
               "\"picture.png#trim\" leaves out the plain edges of a screenshot (the rows and\n"
               "columns all of the colour of its bottom right corner).\n"
               "\n"
               "  -h, --help  show this text\n",
               out);
}

void printError(const QString& text) {
    std::fprintf(stderr, "dorvo2-manual: %s\n", text.toLocal8Bit().constData());
}

} // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "-h") || !std::strcmp(argv[i], "--help")) {
            printUsage(stdout);
            return 0;
        }
    }
    if (argc < 3 || argv[1][0] == '-') {
        printUsage(stderr);
        return kExitUsage;
    }
    // Fonts and the PDF need the toolkit's GUI part, but never a screen.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    const QStringList arguments = QGuiApplication::arguments();
    const QString output = arguments.at(1);

    std::vector<std::unique_ptr<TMarkdownChapter>> chapters;
    for (qsizetype i = 2; i < arguments.size(); ++i) {
        auto chapter = std::make_unique<TMarkdownChapter>();
        if (!chapter->load(arguments.at(i))) {
            printError(chapter->error());
            return kExitFailure;
        }
        chapters.push_back(std::move(chapter));
    }
    TManualPrinter printer(QStringLiteral("Dorvo"), QStringLiteral("User's Manual, version ") +
                                                        QStringLiteral(DORVO2_VERSION_STRING));
    if (!printer.print(chapters, output)) {
        printError(printer.error());
        return kExitFailure;
    }
    return 0;
}
