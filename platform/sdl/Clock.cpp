#include "platform/Clock.h"

#include <atomic>
#include <ctime>

namespace platform {
namespace {

uint64_t hostMicroseconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint64_t>(now.tv_sec) * 1000000u + static_cast<uint64_t>(now.tv_nsec) / 1000u;
}

std::atomic<MicrosecondClock> activeClock{nullptr};

}  // namespace

uint64_t monotonicMicroseconds() {
    MicrosecondClock clock = activeClock.load(std::memory_order_acquire);
    return clock ? clock() : hostMicroseconds();
}

void setMicrosecondClock(MicrosecondClock clock) { activeClock.store(clock, std::memory_order_release); }

}  // namespace platform
