#pragma once

#include <dorvo/mmsystem.h>

#include <string>

namespace dorvo::winmm {

// Writes a device's UTF-8 name into a capabilities name field as zero-terminated UTF-16, cut
// to the field's size without splitting a surrogate pair.
void copyDeviceName(const std::string& name, WCHAR (&field)[MAXPNAMELEN]);

} // namespace dorvo::winmm
