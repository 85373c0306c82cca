#include "platform/WindowPlacement.h"

#include <algorithm>

namespace platform {
namespace {

// Start of the window along one axis: inside [start, start + room - size], and never before start.
long long clampAxis(long long position, long long start, long long room, long long size) {
    long long last = start + room - size;
    return std::max(start, std::min(position, last));
}

}  // namespace

void placeWindow(const Rect& usable, int width, int height, bool centre, int& x, int& y) {
    long long left = x;
    long long top = y;
    if (centre) {
        left = usable.x + (static_cast<long long>(usable.width) - width) / 2;
        top = usable.y + (static_cast<long long>(usable.height) - height) / 2;
    }
    x = static_cast<int>(clampAxis(left, usable.x, usable.width, width));
    y = static_cast<int>(clampAxis(top, usable.y, usable.height, height));
}

}  // namespace platform
