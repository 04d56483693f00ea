#include "Images.h"

namespace dorvo {

QPixmap lookupImage(const QString& name, const QString& directory) {
    // A name that could climb out of the resource folder is not one of ours.
    if (!name.isEmpty() && !name.contains(QLatin1Char('/'))) {
        QPixmap embedded(QStringLiteral(":/images/") + name);
        if (!embedded.isNull())
            return embedded;
    }
    return QPixmap(directory + name);
}

} // namespace dorvo
