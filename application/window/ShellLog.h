// Start-up and hand-over trace: off unless QT_LOGGING_RULES enables "dorvo2.shell.debug", so
// that a person (or a test driving the real program) can follow what the shell did and when.
#pragma once

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcShell)

namespace dorvo {

// Milliseconds of the monotonic clock, comparable between the lines of one process's trace.
qint64 shellClockMs();

} // namespace dorvo
