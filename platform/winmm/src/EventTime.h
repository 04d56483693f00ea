// The arrival time of the input message a thread is handling. A backend that receives sets it
// while it hands a message on; the input callback thread carries it to the application; a
// thread that passes the message on (MIDI Thru) sets it again before it sends, so that a
// backend that schedules its output can keep the delay from arrival to departure constant.
#pragma once

#include <cstdint>

namespace dorvo::winmm {

// Microseconds of the monotonic clock, cut to 32 bits: compare by difference. Never 0.
std::uint32_t eventTimeNow();
// 0 when the thread handles no input message.
std::uint32_t currentEventTime();
void setCurrentEventTime(std::uint32_t time);
// How far `time` lies from now, in microseconds (negative: in the past).
std::int32_t eventTimeFromNow(std::uint32_t time);

// Sets the thread's event time for a scope and restores the previous one after it.
class ScopedEventTime {
public:
    explicit ScopedEventTime(std::uint32_t time) : m_previous(currentEventTime()) {
        setCurrentEventTime(time);
    }
    ~ScopedEventTime() { setCurrentEventTime(m_previous); }
    ScopedEventTime(const ScopedEventTime&) = delete;
    ScopedEventTime& operator=(const ScopedEventTime&) = delete;

private:
    const std::uint32_t m_previous;
};

} // namespace dorvo::winmm
