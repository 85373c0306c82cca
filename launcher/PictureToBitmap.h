#pragma once
#include <memory>

#include "mt/core/String.h"
#include "platform/Bitmap.h"

namespace platform {
class Dialog;
}

// Turns a PNG picture, found through the file manager, into a 32-bit bottom-up bitmap that a dialog paints
// with a plain block copy. Used by both the launcher and the selling screen.
//
// Returns null when the picture is missing (quietly), cannot be decoded (quietly), or the bitmap cannot be
// made (after the message box "Unable to create bitmap" / "Error"). The window is the one the bitmap will be
// painted in; bitmaps here are not tied to a window, so it may be null.
std::unique_ptr<platform::Bitmap> pictureToBitmap(platform::Dialog* window, const mt::String& path);
