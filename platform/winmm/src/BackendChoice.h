// Which backend serves this process: DORVO2_MIDI=alsa|jack|virtual, or else the ALSA sequencer
// when it exists, JACK when a server answers, and the virtual devices otherwise.
#pragma once

#include <optional>
#include <string_view>

namespace dorvo::winmm {

enum class BackendKind { Alsa, Jack, Virtual };

// The backend a DORVO2_MIDI value names (case does not matter); nothing for an empty or
// unknown value.
std::optional<BackendKind> backendKindFromName(std::string_view name);

} // namespace dorvo::winmm
