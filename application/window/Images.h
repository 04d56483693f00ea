// The program's embedded images, served by name ("HostSplash.png", "Generic_01.png", ...), with
// a folder of image files as fallback for names that are not embedded.
#pragma once

#include <QPixmap>
#include <QString>

namespace dorvo {

// GUI thread: the embedded image of that exact (case-sensitive) name; else the file
// directory + name, relative names counting from the current folder. May give a null pixmap.
QPixmap lookupImage(const QString& name, const QString& directory = QStringLiteral("./images/"));

} // namespace dorvo
