#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/Bitmap.h"
#include "platform/Dialog.h"
#include "platform/DialogTemplate.h"
#include "platform/Message.h"

// The purchase screen's dialog: a background picture with a buy button and a close button that light up
// under the pointer. The buy button ends the screen with the choice to buy, the close button and the
// window's close request end it without.
//
// The state is process-wide and touched only by the main thread, like the dialog itself.
namespace selling {

// Hover and choice values.
constexpr int kNoButton = 0;
constexpr int kBuyButton = 1;
constexpr int kCloseButton = 2;

// A rectangle in client pixels, both bounds included.
struct HotRect {
    uint32_t left, top, right, bottom;
    constexpr bool contains(uint32_t x, uint32_t y) const {
        return x >= left && x <= right && y >= top && y <= bottom;
    }
};

// Where the buttons react, for hovering and clicking alike.
constexpr HotRect kBuyRect{231, 446, 360, 493};
constexpr HotRect kCloseRect{372, 453, 429, 489};

// The pictures and where they are drawn, in client pixels.
constexpr const char* kBackgroundPicture = "selling_bg.png";
constexpr const char* kBuyPicture = "selling_234_418_button.png";
constexpr const char* kClosePicture = "selling_373_446_button.png";
constexpr int kBuyPictureX = 234;
constexpr int kBuyPictureY = 418;
constexpr int kClosePictureX = 373;
constexpr int kClosePictureY = 446;

// The message loop runs while this is true.
extern bool screenRunning;
// 1 after a click on the buy button, 0 after a click on the close button.
extern int sellingChoice;
// The button under the pointer: kNoButton, kBuyButton or kCloseButton.
extern int hoverButton;
// Pointer position of the last mouse message, client pixels.
extern int lastMouseX;
extern int lastMouseY;
// The three pictures; an empty one is skipped when painting.
extern std::unique_ptr<platform::Bitmap> backgroundBitmap;
extern std::unique_ptr<platform::Bitmap> buyButtonBitmap;
extern std::unique_ptr<platform::Bitmap> closeButtonBitmap;

// Puts the state back to its start values (the bitmaps are dropped).
void resetSellingState();

// The button whose hot rectangle holds the point, or kNoButton.
int buttonAt(uint32_t x, uint32_t y);

// The two buttons as the dialog's focus areas (buy, then close): the keyboard and game controllers reach
// them, the one with the focus lights as under the pointer, and acting on one is a click at its centre.
std::vector<platform::FocusArea> buttonAreas();

// The dialog resource.
constexpr int kSellingDialogId = 101;

// Dialog 101: a captioned pop-up with a close box, centred, 293 x 306 dialog units (440 x 497 pixels),
// caption "Valtor", no controls. It is created hidden.
platform::DialogTemplate sellingDialogTemplate();

// The dialog procedure of dialog 101: hover, clicks, painting, close request and destruction.
bool sellingDialogProc(platform::Dialog& dialog, const platform::Message& message);

}  // namespace selling
