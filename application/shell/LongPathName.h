// A document path as the program keeps it: the canonical form of an existing file (links and
// "." and ".." resolved), else the path exactly as given.
#pragma once

#include <QString>

namespace dorvo {

QString longPathName(const QString& path);

} // namespace dorvo
