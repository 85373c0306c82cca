// The picture's focus areas of a dialog, as both backends answer for them.
#include "platform/Dialog.h"

namespace platform {

int Dialog::areaWithRole(AreaRole role) const {
    for (size_t i = 0; i < areas_.size(); ++i) {
        if (areas_[i].role == role)
            return static_cast<int>(i);
    }
    return -1;
}

Rect Dialog::focusRingRect() const {
    if (focusArea_ < 0 || focusArea_ >= static_cast<int>(areas_.size()))
        return {};
    const Rect& area = areas_[static_cast<size_t>(focusArea_)].rect;
    return {area.x - kFocusRingGap, area.y - kFocusRingGap, area.width + 2 * kFocusRingGap,
            area.height + 2 * kFocusRingGap};
}

}  // namespace platform
