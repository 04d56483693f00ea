// Where the preferences live and the key prefixes: root + group, joined by plain concatenation
// with the key name ("/preferences/" + "PreferencesPage/" + "auto_sync").
#pragma once

#include "BuildVariant.h"
#include "TUniMIDIPortAccessor.h"

#include <QString>

namespace Preferences {

// The current store, per user. The program's port identities of the transport live in the same
// store, and the legacy store is the one the transport falls back to for them: one set of names.
inline constexpr const char* kOrganisation = TUniMIDIPortAccessor::kOrganisation;
// The component build keeps its preferences apart from the program's.
inline constexpr const char* kProduct =
    dorvo::kComponentBuild ? "Dorvo2Proxy" : TUniMIDIPortAccessor::kProduct;
// The earlier product generation's machine-wide store, read only.
inline constexpr const char* kLegacyOrganisation = TUniMIDIPortAccessor::kLegacyOrganisation;
inline constexpr const char* kLegacyProduct = TUniMIDIPortAccessor::kLegacyProduct;

inline const QString kRoot =
    dorvo::kComponentBuild ? QStringLiteral("/preferences64/") : QStringLiteral("/preferences/");
inline const QString kPreferencesPage = kRoot + QStringLiteral("PreferencesPage/");
inline const QString kWorkspacePage = kRoot + QStringLiteral("workspacePage/");
inline const QString kMidiPortsPage = kRoot + QStringLiteral("midiPortsPage/");
inline const QString kSystemPorts = kRoot + QStringLiteral("SystemPorts/");

} // namespace Preferences
