#include "EventTime.h"

#include <dorvo/mmsystem.h>

#include <chrono>

namespace dorvo::winmm {

namespace {

thread_local std::uint32_t t_eventTime = 0;

} // namespace

std::uint32_t eventTimeNow() {
    const auto since = std::chrono::steady_clock::now().time_since_epoch();
    const auto time =
        std::uint32_t(std::chrono::duration_cast<std::chrono::microseconds>(since).count());
    return time == 0 ? 1 : time;
}

std::uint32_t currentEventTime() {
    return t_eventTime;
}

void setCurrentEventTime(std::uint32_t time) {
    t_eventTime = time;
}

std::int32_t eventTimeFromNow(std::uint32_t time) {
    return std::int32_t(time - eventTimeNow());
}

} // namespace dorvo::winmm

DWORD dorvoMidiEventTime(void) {
    return dorvo::winmm::currentEventTime();
}

void dorvoMidiSetEventTime(DWORD microseconds) {
    dorvo::winmm::setCurrentEventTime(microseconds);
}
