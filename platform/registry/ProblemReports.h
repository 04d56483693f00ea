// Problems with the registry's files, told to the log and to the handler that the program set.
#pragma once

#include <QString>

namespace dorvo::registry {

// Any thread.
void reportProblem(const QString& message);

} // namespace dorvo::registry
