#pragma once
#include <cstdint>

// The host's monotonic clock, counted from an arbitrary start (on Linux: since boot).
namespace platform {

// Microseconds on the monotonic clock.
uint64_t monotonicMicroseconds();

// Replaces the clock, for tests that need to place the counters (for example just before a wrap).
// Passing null restores the host clock.
using MicrosecondClock = uint64_t (*)();
void setMicrosecondClock(MicrosecondClock clock);

}  // namespace platform
