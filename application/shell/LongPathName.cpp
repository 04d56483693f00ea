#include "LongPathName.h"

#include <QFileInfo>

namespace dorvo {

QString longPathName(const QString& path) {
    if (path.isEmpty())
        return path;
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return canonical.isEmpty() ? path : canonical;
}

} // namespace dorvo
