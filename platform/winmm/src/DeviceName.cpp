#include "DeviceName.h"

#include <QString>

#include <algorithm>

namespace dorvo::winmm {

void copyDeviceName(const std::string& name, WCHAR (&field)[MAXPNAMELEN]) {
    const std::u16string text = QString::fromStdString(name).toStdU16String();
    std::size_t length = std::min<std::size_t>(text.size(), MAXPNAMELEN - 1);
    if (length > 0 && length < text.size() && QChar::isHighSurrogate(text[length - 1]))
        --length;
    std::copy_n(text.begin(), length, field);
    field[length] = 0;
}

} // namespace dorvo::winmm
