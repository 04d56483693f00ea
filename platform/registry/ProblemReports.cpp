#include "ProblemReports.h"

#include <dorvo/winreg.h>

#include <mutex>

namespace dorvo::registry {
namespace {

// The handler is called under this lock, so that replacing it waits for a call under way.
std::mutex handlerLock;
DorvoRegProblemHandler problemHandler = nullptr;
void* problemContext = nullptr;

} // namespace

void reportProblem(const QString& message) {
    qWarning("%s", qUtf8Printable(message));
    std::lock_guard<std::mutex> lock(handlerLock);
    if (problemHandler)
        problemHandler(message.toUtf8().constData(), problemContext);
}

} // namespace dorvo::registry

void DorvoRegSetProblemHandler(DorvoRegProblemHandler handler, void* context) {
    std::lock_guard<std::mutex> lock(dorvo::registry::handlerLock);
    dorvo::registry::problemHandler = handler;
    dorvo::registry::problemContext = context;
}
