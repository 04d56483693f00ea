// What the outer application reports, one whole line at a time from any of its threads, on the
// standard output (errors on the standard error), so that a person or a test can follow it.
#pragma once

#include <dorvo/wintypes.h>

#include <string>

namespace TOuterConsole {

// A wide text of the interface set (UTF-16) in UTF-8, for printing and for window titles; a
// lone surrogate becomes U+FFFD, and a null text is empty.
std::string utf8(const WCHAR* text);

void print(const char* format, ...) __attribute__((format(printf, 1, 2)));
void error(const char* format, ...) __attribute__((format(printf, 1, 2)));

} // namespace TOuterConsole
