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

// The functions above take client pixels, whatever the dialog's scale. These take the window's own
// pixels, as the desktop reports them (client pixels times the scale).
bool postMouseButtonAtPixel(const Dialog& dialog, int pixelX, int pixelY, bool down);
bool postPixelClick(const Dialog& dialog, int pixelX, int pixelY);
// A finger touching or leaving the window at a position given as fractions (0 to 1) of its size.
bool postFinger(const Dialog& dialog, float fractionX, float fractionY, bool down, int64_t finger = 1);
// A tap at a client position: finger down and up.
bool postTap(const Dialog& dialog, int x, int y);

// A game controller made up for tests and demos, plugged in through the host's own controller support
// (so it arrives as a hot-plugged device). Its buttons and left stick are set here; the host reports the
// changes as from a real controller.
enum class ControllerButton { A, B, Start, Back, DPadUp, DPadDown, DPadLeft, DPadRight };
// Plugs one in; returns its handle, or -1 when the host has no controller support.
int attachVirtualController();
// Pulls it out again.
bool detachVirtualController(int handle);
bool setControllerButton(int handle, ControllerButton button, bool down);
// The left stick's position, each axis from -32768 to 32767 (negative = left, up).
bool setControllerStick(int handle, int x, int y);

}  // namespace platform
