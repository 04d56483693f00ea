#include "TWorkspaceDocument.h"

#include <QStringList>
#include <cmath>

namespace xdw {

QString headerText(const QString& applicationTitle) {
    return QStringLiteral("Version;2.00;Application Name;") + applicationTitle;
}

bool isCompatibleHeader(const QVariant& header, double version) {
    if (header.typeId() != QMetaType::QString)
        return false;
    const QStringList fields = header.toString().split(QLatin1Char(';'));
    if (fields.size() < 4)
        return false;
    bool isNumber = false;
    const double documentVersion = fields.at(1).toDouble(&isNumber);
    if (!isNumber || !std::isfinite(documentVersion))
        return false;
    return std::floor(documentVersion) == std::floor(version) && documentVersion <= version;
}

quint32 Document::minorVersion() const {
    const auto found = view.constFind(kMinorVersionKey);
    return found == view.constEnd() ? 0 : found->toUInt();
}

} // namespace xdw
