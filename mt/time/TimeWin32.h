#pragma once
#include "mt/time/Time.h"

namespace mt::time {

// The platform's clock class. It wraps the host's monotonic clock (the platform layer's) and adds nothing
// to Time beyond its own type.
class TimeWin32 : public Time {
public:
    TimeWin32() = default;
    ~TimeWin32() override = default;
};

}  // namespace mt::time
