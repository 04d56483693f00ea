#include <dorvo/mmsystem.h>

#include <chrono>

// Wraps around after 49.7 days, as callers of the multimedia timer expect.
DWORD timeGetTime(void) {
    const auto sinceBoot = std::chrono::steady_clock::now().time_since_epoch();
    return DWORD(std::chrono::duration_cast<std::chrono::milliseconds>(sinceBoot).count());
}
