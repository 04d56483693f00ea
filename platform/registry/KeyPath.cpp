#include "KeyPath.h"

namespace dorvo::registry {

std::optional<QStringList> splitKeyPath(QStringView path) {
    if (path.isEmpty())
        return QStringList();
    if (path.endsWith(u'\\'))
        path.chop(1);
    QStringList names;
    for (QStringView name : path.split(u'\\')) {
        if (name.isEmpty())
            return std::nullopt;
        names.append(name.toString());
    }
    return names;
}

bool isControlCharacter(char16_t unit) {
    return unit < 0x20 || unit == 0x7F;
}

static bool hasUnpairedSurrogate(QStringView text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar unit = text[i];
        if (unit.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
        else if (unit.isSurrogate())
            return true;
    }
    return false;
}

bool isStorableKeyName(QStringView name) {
    if (name.isEmpty() || hasUnpairedSurrogate(name))
        return false;
    for (QChar unit : name) {
        if (unit == u'\\' || isControlCharacter(unit.unicode()))
            return false;
    }
    return true;
}

bool isValidNewKeyName(QStringView name) {
    return name.size() <= kMaxKeyNameLength && isStorableKeyName(name);
}

QString fromWideString(LPCWSTR text) {
    if (text == nullptr)
        return QString();
    qsizetype length = 0;
    while (text[length] != 0)
        ++length;
    return QString(reinterpret_cast<const QChar*>(text), length);
}

} // namespace dorvo::registry
