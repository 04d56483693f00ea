// What the backends call when the machine's devices change; the layer's user learns of it
// through dorvoMidiSetDevicesChangedCallback.
#pragma once

namespace dorvo::winmm {

// Any thread of a backend.
void notifyDevicesChanged();

} // namespace dorvo::winmm
