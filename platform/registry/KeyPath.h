// Key paths as callers spell them ("Software\Classes\CLSID") and the rules for key names.
#pragma once

#include <dorvo/wintypes.h>

#include <QStringList>
#include <optional>

namespace dorvo::registry {

inline constexpr qsizetype kMaxKeyNameLength = 255;
// Deeper trees are refused so that the recursive walks over a tree stay shallow.
inline constexpr qsizetype kMaxKeyDepth = 512;

// The names of a path. One trailing backslash is tolerated; any other empty name (a leading or
// doubled backslash) makes the path invalid.
std::optional<QStringList> splitKeyPath(QStringView path);

// A name that can stand in a section header of a hive file: not empty, no backslash, no
// control character and no unpaired surrogate (the file is UTF-8 and has no escapes there).
bool isStorableKeyName(QStringView name);

// A name that the registry functions give a new key: storable and at most 255 characters.
bool isValidNewKeyName(QStringView name);

bool isControlCharacter(char16_t unit);

// A zero-terminated caller string; null gives the empty string.
QString fromWideString(LPCWSTR text);

} // namespace dorvo::registry
