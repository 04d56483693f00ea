#include "TManual.h"

#include "TUserMessage.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

void TManual::open(QWidget* parent) {
    const QString path = QCoreApplication::applicationDirPath() + QStringLiteral("/Dorvo.pdf");
    const bool opened =
        QFileInfo::exists(path) && QDesktopServices::openUrl(QUrl::fromLocalFile(path));
    if (!opened)
        TUserMessage::warning(parent, QCoreApplication::translate("ApplicationWindow",
                                                                  "Failed to load \"%1\" help "
                                                                  "document.\n\nPlease try "
                                                                  "re-installing the package.\n")
                                          .arg(path));
}
