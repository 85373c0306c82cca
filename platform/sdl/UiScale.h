#pragma once
#include "platform/ComboBox.h"

// The integer factor by which the dialogs are drawn on high-density screens. The programs never see it:
// a dialog keeps its client size, and mouse, touch and paint coordinates stay in its own pixels; only
// the window and what is drawn into it grow.
namespace platform {

constexpr int kMaxUiScale = 8;

// The desktop's scale: the environment's VALTOR_UI_SCALE when it holds a whole number from 1 to
// kMaxUiScale, else the desktop's text DPI (Xft.dpi) or else the display's DPI, 96 DPI per step, rounded
// down; 1 when nothing is known.
int desktopUiScale();

// 96 DPI and anything below 192 give 1, 192 gives 2, and so on (at most kMaxUiScale).
int uiScaleForDpi(double dpi);

// The VALTOR_UI_SCALE text as a scale, or 0 when it is not a whole number from 1 to kMaxUiScale.
int parseUiScale(const char* text);

// The client pixel that a window pixel shows: every client pixel is a square of scale x scale window
// pixels (rounded towards minus infinity, for pointer positions left of or above the window).
constexpr int windowToClient(int pixel, int scale) {
    return pixel >= 0 ? pixel / scale : -((-(pixel + 1)) / scale) - 1;
}

// The largest scale up to `wanted` at which a window of width x height still fits the usable area; never
// below 1.
int fitUiScale(int wanted, int width, int height, const Rect& usable);

}  // namespace platform
