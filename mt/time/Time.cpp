#include "mt/time/Time.h"

#include <new>

#include "platform/Clock.h"

namespace mt::time {

Time::Time() : startMilliseconds(nowMilliseconds()) {}

uint32_t Time::nowMilliseconds() { return static_cast<uint32_t>(platform::monotonicMicroseconds() / 1000u); }

uint32_t Time::nowMicroseconds() { return static_cast<uint32_t>(platform::monotonicMicroseconds()); }

uint32_t Time::elapsedMilliseconds() const { return nowMilliseconds() - startMilliseconds; }

uint32_t Time::elapsedMicroseconds() const { return nowMicroseconds() - startMilliseconds * 1000u; }

uint32_t Time::setElapsed(uint32_t milliseconds) {
    startMilliseconds = nowMilliseconds() - milliseconds;
    return startMilliseconds;
}

Time* createTime() { return new (std::nothrow) Time(); }

}  // namespace mt::time
