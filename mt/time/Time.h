#pragma once
#include <cstdint>

namespace mt::time {

// The millisecond clock and a stopwatch. Milliseconds are an unsigned 32-bit counter that wraps after
// about 49.7 days; differences stay right across one wrap because they are taken modulo 2^32.
class Time {
public:
    Time();
    virtual ~Time() = default;

    static uint32_t nowMilliseconds();
    // Microseconds on the same clock, wrapping at 2^32 (about 71.6 minutes).
    static uint32_t nowMicroseconds();

    uint32_t elapsedMilliseconds() const;
    uint32_t elapsedMicroseconds() const;
    // Moves the start so that the stopwatch reads milliseconds now; returns the new start.
    uint32_t setElapsed(uint32_t milliseconds);

protected:
    uint32_t startMilliseconds;
};

// A stopwatch started now, on the heap; null when allocation fails.
Time* createTime();

}  // namespace mt::time
