// What the outer application reports, one whole line at a time from any of its threads, on the
// standard output (errors on the standard error), so that a person or a test can follow it.
#pragma once

namespace TOuterConsole {

void print(const char* format, ...) __attribute__((format(printf, 1, 2)));
void error(const char* format, ...) __attribute__((format(printf, 1, 2)));

} // namespace TOuterConsole
