// The texts that name this product and its release.
#pragma once

#include "BuildVariant.h"

#include <QString>
#include <dorvo/version.h>

namespace dorvo {

inline const QString kVersionText = QStringLiteral("V" DORVO2_VERSION_STRING);
// Caption of every message box and suffix of the window caption.
inline const QString kApplicationTitle =
    kComponentBuild ? QStringLiteral("Dorvo") : QStringLiteral("Quenor Dorvo");

} // namespace dorvo
