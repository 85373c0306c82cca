#pragma once
#include <cstdint>
#include <string>

// Input made up by a program instead of typed or clicked: it goes into the host's event queue as if it
// came from the desktop and takes the same road through peekMessage. Tests use it to drive dialogs without
// a display (with SDL's dummy video driver), and demos to script a walk through the dialogs.
namespace platform {

class Dialog;

// Each returns false when the event could not be queued (no video, or the dialog is gone).
bool postMouseMove(const Dialog& dialog, int x, int y);
bool postMouseButton(const Dialog& dialog, int x, int y, bool down, bool rightButton = false);
// Left button down and up at the same point.
bool postClick(const Dialog& dialog, int x, int y);
// Wheel notches at the pointer position (x, y): positive = away from the user.
bool postWheel(const Dialog& dialog, int x, int y, int notches);
// A key (Key:: codes, letters as 'A'...) with modifier bits (kModifier...).
bool postKey(const Dialog& dialog, uint32_t key, intptr_t modifiers, bool down);
// Key down and up; with `text`, the text input that the key typed follows the key down.
bool postKeyPress(const Dialog& dialog, uint32_t key, intptr_t modifiers = 0, const std::string& text = {});
// The window manager's close request (close box, Alt+F4).
bool postCloseRequest(const Dialog& dialog);
// The window gained or lost the keyboard focus of the desktop.
bool postFocusChange(const Dialog& dialog, bool gained);

}  // namespace platform
