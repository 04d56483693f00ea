// UTF-16 texts as they cross the interfaces: zero-terminated, task-allocated when handed out.
#pragma once

#include <dorvo/objbase.h>

#include <QString>

namespace examples {

// Any thread: a task-allocated copy that the receiver frees with CoTaskMemFree; null when
// memory ran out.
LPWSTR taskString(const QString& text);
// Any thread: a null pointer gives an empty text.
QString fromWide(LPCWSTR text);
inline LPCWSTR wide(const QString& text) {
    return reinterpret_cast<LPCWSTR>(text.utf16());
}
// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".
QString guidText(REFGUID guid);

} // namespace examples
