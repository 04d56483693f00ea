#include "TManual.h"

#include "BuildVariant.h"
#include "TUserMessage.h"

#include <dorvo/objbase.h>

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace {

const QString kFileName = QStringLiteral("Dorvo.pdf");
const QString kInstalledFolder = QStringLiteral("share/doc/dorvo2");
// The program is in PREFIX/bin, the component library in PREFIX/LIBDIR/dorvo2, where LIBDIR may
// be lib/x86_64-linux-gnu: the installation's share folder is one to three folders up.
constexpr int kInstalledLevels = 3;
constexpr DWORD kPathCharacters = 4096;

// An address in the module that holds this code.
const char kModuleAnchor = 0;

} // namespace

QString TManual::location(const QString& folder) {
    const QString beside = QDir::cleanPath(folder + '/' + kFileName);
    if (QFileInfo(beside).isFile())
        return beside;
    QString installed;
    QString up = folder;
    for (int level = 1; level <= kInstalledLevels; ++level) {
        up += QStringLiteral("/..");
        const QString place = QDir::cleanPath(up + '/' + kInstalledFolder + '/' + kFileName);
        if (QFileInfo(place).isFile())
            return place;
        if (installed.isEmpty())
            installed = place;
    }
    return installed;
}

QString TManual::ownFolder() {
    if constexpr (dorvo::kComponentBuild) {
        WCHAR path[kPathCharacters];
        const DWORD length = DorvoGetModuleFileName(&kModuleAnchor, path, kPathCharacters);
        if (length > 0 && length < kPathCharacters)
            return QFileInfo(QString::fromUtf16(path, qsizetype(length))).absolutePath();
    }
    return QCoreApplication::applicationDirPath();
}

void TManual::open(QWidget* parent) {
    const QString path = location(ownFolder());
    const bool opened =
        QFileInfo::exists(path) && QDesktopServices::openUrl(QUrl::fromLocalFile(path));
    if (!opened)
        TUserMessage::warning(parent, QCoreApplication::translate("ApplicationWindow",
                                                                  "Failed to load \"%1\" help "
                                                                  "document.\n\nPlease try "
                                                                  "re-installing the package.\n")
                                          .arg(path));
}
