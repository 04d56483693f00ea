// Consistency checks that never stop the program and show nothing to the user: a failed check
// prints "ASSERT: "<expression>" in <file> (<line>)" on the warning channel, with the source
// file's base name without extension, and the caller goes on as its code says.
#pragma once

#include <QtGlobal>
#include <string_view>

namespace dorvo {

// The base name of a source path without its extension: "a/b/ClientIStream.cpp" gives
// "ClientIStream".
constexpr std::string_view sourceBaseName(std::string_view path) {
    const auto slash = path.find_last_of('/');
    if (slash != std::string_view::npos)
        path.remove_prefix(slash + 1);
    const auto dot = path.find_last_of('.');
    if (dot != std::string_view::npos)
        path = path.substr(0, dot);
    return path;
}

inline void reportFailedCheck(const char* expression, std::string_view file, int line) {
    qWarning("ASSERT: \"%s\" in %.*s (%d)", expression, int(file.size()), file.data(), line);
}

// Evaluates to the truth of the condition; a false one is reported under the given text.
inline bool checkCondition(bool condition, const char* text, std::string_view file, int line) {
    if (!condition)
        reportFailedCheck(text, file, line);
    return condition;
}

} // namespace dorvo

// DORVO_CHECK(ppEnum) reports "ppEnum"; use it as `if (!DORVO_CHECK(p)) return E_POINTER;`.
#define DORVO_CHECK(condition)                                                                     \
    ::dorvo::checkCondition(static_cast<bool>(condition), #condition,                              \
                            ::dorvo::sourceBaseName(__FILE__), __LINE__)

// As DORVO_CHECK, reporting a text of the caller's instead of the expression.
#define DORVO_CHECK_TEXT(condition, text)                                                          \
    ::dorvo::checkCondition(static_cast<bool>(condition), text, ::dorvo::sourceBaseName(__FILE__), \
                            __LINE__)
