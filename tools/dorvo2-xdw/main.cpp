// dorvo2-xdw dump FILE | validate FILE: reads a workspace document with the same reader as the
// program. dump prints it as JSON; validate says whether it is sound, and if not, names the
// first defect and its byte offset in one line. Needs no display.
#include "DocumentJson.h"
#include "TDocumentReader.h"

#include <QFile>
#include <QJsonDocument>
#include <QString>
#include <dorvo/version.h>

#include <cstdio>
#include <cstring>

namespace {

constexpr int kExitDefect = 1;
constexpr int kExitUsage = 2;

void printUsage(FILE* out) {
    std::fputs("Usage: dorvo2-xdw dump FILE\n"
               "       dorvo2-xdw validate FILE\n"
               "       dorvo2-xdw --help | --version\n"
               "Reads a Dorvo workspace document (.XDW).\n"
               "\n"
               "  dump      print the document as JSON\n"
               "  validate  exit 0 when the document is sound, else 1 with the first defect\n"
               "            and its byte offset\n",
               out);
}

void printLine(FILE* out, const QString& line) {
    std::fprintf(out, "%s\n", line.toLocal8Bit().constData());
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 2 && (!std::strcmp(argv[1], "-h") || !std::strcmp(argv[1], "--help"))) {
        printUsage(stdout);
        return 0;
    }
    if (argc == 2 && !std::strcmp(argv[1], "--version")) {
        std::printf("dorvo2-xdw %s\n", DORVO2_VERSION_STRING);
        return 0;
    }
    if (argc != 3 || (std::strcmp(argv[1], "dump") != 0 && std::strcmp(argv[1], "validate") != 0)) {
        printUsage(stderr);
        return kExitUsage;
    }
    const bool dump = std::strcmp(argv[1], "dump") == 0;
    const QString path = QString::fromLocal8Bit(argv[2]);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        printLine(stderr, QStringLiteral("%1: %2").arg(path, file.errorString()));
        return kExitDefect;
    }
    const QByteArray bytes = file.readAll();
    const TDocumentReader::Result result = TDocumentReader::read(bytes);
    if (result.outcome != TDocumentReader::Outcome::Complete) {
        printLine(dump ? stderr : stdout, QStringLiteral("%1: %2").arg(path, result.defectLine()));
        return kExitDefect;
    }
    if (dump) {
        const QByteArray json =
            QJsonDocument(documentJson(result.document)).toJson(QJsonDocument::Indented);
        std::fwrite(json.constData(), 1, size_t(json.size()), stdout);
    }
    return 0;
}
