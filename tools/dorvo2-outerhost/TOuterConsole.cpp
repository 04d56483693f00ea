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

std::string utf8(const WCHAR* text) {
    std::string result;
    for (; text && *text; ++text) {
        char32_t code = *text;
        if (code >= 0xD800 && code < 0xDC00 && text[1] >= 0xDC00 && text[1] < 0xE000) {
            code = 0x10000 + ((code - 0xD800) << 10) + (text[1] - 0xDC00);
            ++text;
        } else if (code >= 0xD800 && code < 0xE000) {
            code = 0xFFFD;
        }
        if (code < 0x80) {
            result += char(code);
        } else if (code < 0x800) {
            result += char(0xC0 | (code >> 6));
            result += char(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            result += char(0xE0 | (code >> 12));
            result += char(0x80 | ((code >> 6) & 0x3F));
            result += char(0x80 | (code & 0x3F));
        } else {
            result += char(0xF0 | (code >> 18));
            result += char(0x80 | ((code >> 12) & 0x3F));
            result += char(0x80 | ((code >> 6) & 0x3F));
            result += char(0x80 | (code & 0x3F));
        }
    }
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
