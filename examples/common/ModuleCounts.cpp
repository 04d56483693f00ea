#include "ModuleCounts.h"

#include <atomic>

namespace examples {

namespace {
std::atomic<long> g_objects{0};
std::atomic<long> g_locks{0};
std::atomic<bool> g_pinned{false};
} // namespace

void ModuleCounts::objectMade() {
    ++g_objects;
}

void ModuleCounts::objectGone() {
    --g_objects;
}

void ModuleCounts::lockServer(bool lock) {
    lock ? ++g_locks : --g_locks;
}

void ModuleCounts::pinForQt() {
    g_pinned = true;
}

HRESULT ModuleCounts::canUnloadNow() {
    return g_objects == 0 && g_locks <= 0 && !g_pinned ? S_OK : S_FALSE;
}

} // namespace examples
