// What the outer application reports, one whole line at a time from any of its threads, on the
// standard output (errors on the standard error), so that a person or a test can follow it.
#pragma once

#include <dorvo/wintypes.h>

#include <string>

namespace TOuterConsole {

// A wide text of the interface set for printing; characters beyond ASCII as '?'.
std::string ascii(const WCHAR* text);

void print(const char* format, ...) __attribute__((format(printf, 1, 2)));
void error(const char* format, ...) __attribute__((format(printf, 1, 2)));

} // namespace TOuterConsole
