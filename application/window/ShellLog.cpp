#include "ShellLog.h"

#include <QElapsedTimer>

Q_LOGGING_CATEGORY(lcShell, "dorvo2.shell", QtWarningMsg)

namespace dorvo {

qint64 shellClockMs() {
    QElapsedTimer now;
    now.start();
    return now.msecsSinceReference();
}

} // namespace dorvo
