#include "platform/Clock.h"

#include <windows.h>

#include <mmsystem.h>

#include <atomic>

namespace platform {
namespace {

// The multimedia timer at its finest resolution for the whole run, so that timeGetTime advances in steps of
// one millisecond instead of the scheduler's tick.
struct TimerResolution {
    TimerResolution() { timeBeginPeriod(1); }
    ~TimerResolution() { timeEndPeriod(1); }
};

// timeGetTime wraps after about 49.7 days; the layer's clock is 64-bit, so a wrap that the readings show
// carries into the upper half. The low half stays the Windows millisecond count, so the framework's 32-bit
// milliseconds are exactly timeGetTime's. A reading older than one another thread has already stored
// (smaller by less than half the range) is not a wrap: the stored value is returned, so the clock never
// goes back.
std::atomic<uint64_t> lastMilliseconds{0};

uint64_t extendedMilliseconds() {
    static TimerResolution resolution;
    const uint32_t now = timeGetTime();
    uint64_t last = lastMilliseconds.load(std::memory_order_acquire);
    for (;;) {
        const uint32_t low = static_cast<uint32_t>(last);
        const uint64_t base = last - low;
        uint64_t next;
        if (now >= low)
            next = base + now;
        else if (low - now > 0x80000000u)
            next = base + (uint64_t{1} << 32) + now;
        else
            return last;
        if (lastMilliseconds.compare_exchange_weak(last, next, std::memory_order_acq_rel))
            return next;
    }
}

uint64_t hostMicroseconds() {
    return extendedMilliseconds() * 1000u;
}

std::atomic<MicrosecondClock> activeClock{nullptr};

}  // namespace

uint64_t monotonicMicroseconds() {
    MicrosecondClock clock = activeClock.load(std::memory_order_acquire);
    return clock ? clock() : hostMicroseconds();
}

void setMicrosecondClock(MicrosecondClock clock) {
    activeClock.store(clock, std::memory_order_release);
}

}  // namespace platform
