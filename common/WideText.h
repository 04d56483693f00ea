// Texts as the interface set passes them: zero-terminated UTF-16, and task-allocated when they
// change hands, so that the receiver frees them with CoTaskMemFree.
#pragma once

#include <dorvo/objbase.h>

#include <QString>

#include <cstring>

namespace dorvo {

// A null text reads as empty.
inline QString textOfWide(LPCWSTR text) {
    if (!text)
        return QString();
    qsizetype length = 0;
    while (text[length])
        ++length;
    return QString::fromUtf16(text, length);
}

// Null when there is no memory.
inline LPWSTR taskAllocatedText(const QString& text) {
    const std::size_t characters = static_cast<std::size_t>(text.size());
    auto* copy = static_cast<LPWSTR>(CoTaskMemAlloc((characters + 1) * sizeof(WCHAR)));
    if (copy) {
        if (characters)
            std::memcpy(copy, text.utf16(), characters * sizeof(WCHAR));
        copy[characters] = 0;
    }
    return copy;
}

} // namespace dorvo
