#include "WideText.h"

#include <cstring>

namespace examples {

LPWSTR taskString(const QString& text) {
    const std::size_t bytes = (std::size_t(text.size()) + 1) * sizeof(WCHAR);
    auto* copy = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
    if (copy)
        std::memcpy(copy, text.utf16(), bytes);
    return copy;
}

QString fromWide(LPCWSTR text) {
    return text ? QString::fromUtf16(text) : QString();
}

QString guidText(REFGUID guid) {
    OLECHAR text[39] = {};
    return StringFromGUID2(guid, text, 39) == 39 ? QString::fromUtf16(text) : QString();
}

} // namespace examples
