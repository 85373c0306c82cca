#pragma once

#include "platform/ComboBox.h"

// Where a dialog's window goes on the screen. Internal to the layer; no host types, so that it can be
// tested with plain numbers.
namespace platform {

// The top-left corner of a window of width x height: centred in the usable area when centre is set,
// otherwise at (x, y); then moved so that it lies within the area, and where it is larger than the area,
// so that its top-left corner (title bar, close box, the top of the picture) is on screen.
void placeWindow(const Rect& usable, int width, int height, bool centre, int& x, int& y);

}  // namespace platform
