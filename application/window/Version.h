// The texts that name this product and its release.
#pragma once

#include "BuildVariant.h"

#include <QString>

namespace dorvo {

inline const QString kVersionText = QStringLiteral("V2.3.1");
// Caption of every message box and suffix of the window caption.
inline const QString kApplicationTitle =
    kComponentBuild ? QStringLiteral("Dorvo") : QStringLiteral("Quenor Dorvo");

} // namespace dorvo
