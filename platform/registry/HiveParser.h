// Reads the text of a hive file. The text is outside input: anything it holds gives a tree or an
// error with its line, never a crash.
#pragma once

#include "RegistryKey.h"

#include <QByteArrayView>
#include <QString>
#include <memory>

namespace dorvo::registry {

struct HiveParseResult {
    std::unique_ptr<RegistryKey> root; // null when the text is not a hive
    int errorLine = 0;                 // 1-based
    QString errorReason;
};

HiveParseResult parseHive(QByteArrayView text);

} // namespace dorvo::registry
