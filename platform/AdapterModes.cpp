#include <algorithm>

#include "platform/GraphicsAdapter.h"

namespace platform {

uint32_t GraphicsAdapter::modeCount(uint32_t format) const {
    return static_cast<uint32_t>(std::count_if(
        modes_.begin(), modes_.end(), [format](const DisplayMode& m) { return m.format == format; }));
}

bool GraphicsAdapter::mode(uint32_t format, uint32_t index, DisplayMode& out) const {
    uint32_t seen = 0;
    for (const DisplayMode& candidate : modes_) {
        if (candidate.format != format) {
            continue;
        }
        if (seen == index) {
            out = candidate;
            return true;
        }
        ++seen;
    }
    return false;
}

}  // namespace platform
