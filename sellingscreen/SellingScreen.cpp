#include "sellingscreen/SellingScreen.h"

#include "platform/MessageLoop.h"

namespace selling {

bool screenRunning = true;
int sellingChoice = 0;
int hoverButton = kNoButton;
int lastMouseX = 0;
int lastMouseY = 0;
std::unique_ptr<platform::Bitmap> backgroundBitmap;
std::unique_ptr<platform::Bitmap> buyButtonBitmap;
std::unique_ptr<platform::Bitmap> closeButtonBitmap;

void resetSellingState() {
    screenRunning = true;
    sellingChoice = 0;
    hoverButton = kNoButton;
    lastMouseX = 0;
    lastMouseY = 0;
    backgroundBitmap.reset();
    buyButtonBitmap.reset();
    closeButtonBitmap.reset();
}

int buttonAt(uint32_t x, uint32_t y) {
    if (kBuyRect.contains(x, y))
        return kBuyButton;
    if (kCloseRect.contains(x, y))
        return kCloseButton;
    return kNoButton;
}

platform::DialogTemplate sellingDialogTemplate() {
    platform::DialogTemplate dialogTemplate;
    dialogTemplate.resourceId = kSellingDialogId;
    dialogTemplate.style = platform::kStylePopup | platform::kStyleCaption | platform::kStyleSystemMenu |
                           platform::kStyleModalFrame | platform::kStyleCenter | platform::kStyleSetFont;
    dialogTemplate.width = 293;
    dialogTemplate.height = 306;
    dialogTemplate.caption = "Valtor";
    dialogTemplate.fontName = "MS Shell Dlg";
    dialogTemplate.fontPoints = 8;
    return dialogTemplate;
}

std::vector<platform::FocusArea> buttonAreas() {
    auto area = [](const HotRect& hot, platform::AreaRole role) {
        return platform::FocusArea{
            {static_cast<int>(hot.left), static_cast<int>(hot.top),
             static_cast<int>(hot.right - hot.left + 1), static_cast<int>(hot.bottom - hot.top + 1)},
            role};
    };
    return {area(kBuyRect, platform::AreaRole::Primary), area(kCloseRect, platform::AreaRole::Cancel)};
}

namespace {

// Mouse messages carry x in the low and y in the high 16 bits, both unsigned.
void notePointer(const platform::Message& message, uint32_t& x, uint32_t& y) {
    x = platform::pointX(message.lParam);
    y = platform::pointY(message.lParam);
    lastMouseX = static_cast<int>(x);
    lastMouseY = static_cast<int>(y);
}

void paint(platform::Dialog& dialog) {
    if (!dialog.beginPaint())
        return;
    if (backgroundBitmap)
        dialog.blit(*backgroundBitmap, 0, 0);
    if (hoverButton == kBuyButton && buyButtonBitmap)
        dialog.blit(*buyButtonBitmap, kBuyPictureX, kBuyPictureY);
    else if (hoverButton == kCloseButton && closeButtonBitmap)
        dialog.blit(*closeButtonBitmap, kClosePictureX, kClosePictureY);
    dialog.endPaint();
}

}  // namespace

bool sellingDialogProc(platform::Dialog& dialog, const platform::Message& message) {
    using platform::MessageType;
    uint32_t x = 0;
    uint32_t y = 0;
    switch (message.type) {
        case MessageType::InitDialog:
            return true;
        case MessageType::MouseMove: {
            notePointer(message, x, y);
            // Repaint only when the pointer crosses into or out of a button, never while it moves within.
            int hovered = buttonAt(x, y);
            if (hovered != hoverButton) {
                hoverButton = hovered;
                dialog.invalidate(false);
            }
            return true;
        }
        case MessageType::LeftButtonDown:
            notePointer(message, x, y);
            if (kBuyRect.contains(x, y)) {
                screenRunning = false;
                sellingChoice = 1;
            }
            if (kCloseRect.contains(x, y)) {
                screenRunning = false;
                sellingChoice = 0;
            }
            return true;
        case MessageType::Paint:
            paint(dialog);
            return true;
        case MessageType::Close:
            // The close box, Alt+F4 or the window manager: the screen ends, the choice stays as it is.
            screenRunning = false;
            return true;
        case MessageType::Destroy:
            backgroundBitmap.reset();
            buyButtonBitmap.reset();
            closeButtonBitmap.reset();
            platform::postQuitMessage(0);
            return true;
        default:
            return false;
    }
}

}  // namespace selling
