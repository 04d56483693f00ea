#include "TOuterConsole.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>

namespace {

std::mutex consoleLock;

void line(FILE* stream, const char* format, va_list arguments) {
    std::lock_guard<std::mutex> lock(consoleLock);
    std::vfprintf(stream, format, arguments);
    std::fputc('\n', stream);
    std::fflush(stream);
}

} // namespace

namespace TOuterConsole {

std::string ascii(const WCHAR* text) {
    std::string result;
    for (; text && *text; ++text)
        result += *text < 0x80 ? char(*text) : '?';
    return result;
}

void print(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    line(stdout, format, arguments);
    va_end(arguments);
}

void error(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    line(stderr, format, arguments);
    va_end(arguments);
}

} // namespace TOuterConsole
