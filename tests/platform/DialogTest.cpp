#include <SDL.h>
#include <gtest/gtest.h>

#include "DialogFixture.h"
#include "platform/Bitmap.h"
#include "platform/SyntheticInput.h"
#include "platform/WindowPlacement.h"

using platform::MessageType;

namespace {

constexpr uint32_t kSellingStyle = platform::kStylePopup | platform::kStyleCaption |
                                   platform::kStyleSystemMenu | platform::kStyleModalFrame |
                                   platform::kStyleCenter | platform::kStyleSetFont;

Uint32 windowFlags(const platform::Dialog& dialog) {
    return SDL_GetWindowFlags(SDL_GetWindowFromID(dialog.windowId()));
}

// A 32-bit bitmap whose picture rows (top first) are filled with the given colours.
std::unique_ptr<platform::Bitmap> stripes(int width, const std::vector<uint32_t>& rows, bool bottomUp) {
    platform::BitmapInfoHeader header;
    header.width = width;
    header.height = bottomUp ? static_cast<int32_t>(rows.size()) : -static_cast<int32_t>(rows.size());
    void* bits = nullptr;
    auto bitmap = platform::Bitmap::create(header, &bits);
    if (!bitmap) {
        return nullptr;
    }
    auto* pixels = static_cast<uint32_t*>(bits);
    for (size_t row = 0; row < rows.size(); ++row) {
        // In a bottom-up bitmap the picture's top row is the last one in memory.
        size_t memoryRow = bottomUp ? rows.size() - 1 - row : row;
        for (int x = 0; x < width; ++x) {
            pixels[memoryRow * width + x] = rows[row] + static_cast<uint32_t>(x);
        }
    }
    return bitmap;
}

}  // namespace

TEST(DialogUnits, ConvertWithTheDialogFontBaseUnits) {
    EXPECT_EQ(platform::dialogUnitsToPixelsX(292), 438);
    EXPECT_EQ(platform::dialogUnitsToPixelsY(264), 429);
    EXPECT_EQ(platform::dialogUnitsToPixelsX(293), 440);  // 439.5 rounds up
    EXPECT_EQ(platform::dialogUnitsToPixelsY(306), 497);  // 497.25 rounds down
    EXPECT_EQ(platform::dialogUnitsToPixelsX(1), 2);
    EXPECT_EQ(platform::dialogUnitsToPixelsY(3), 5);
    EXPECT_EQ(platform::dialogUnitsToPixelsX(-1), -2);
    EXPECT_EQ(platform::dialogUnitsToPixelsX(0), 0);
}

TEST_F(DialogFixture, TemplatesGiveHiddenCentredWindowsOfTheirStyle) {
    platform::Dialog* launcher = makeLauncherDialog();
    ASSERT_NE(launcher, nullptr);
    EXPECT_EQ(launcher->clientWidth(), 438);
    EXPECT_EQ(launcher->clientHeight(), 429);
    EXPECT_FALSE(launcher->isVisible());
    EXPECT_TRUE(windowFlags(*launcher) & SDL_WINDOW_HIDDEN);
    EXPECT_TRUE(windowFlags(*launcher) & SDL_WINDOW_BORDERLESS);
    int x = 0;
    int y = 0;
    SDL_GetWindowPosition(SDL_GetWindowFromID(launcher->windowId()), &x, &y);
    SDL_DisplayMode desktop;
    ASSERT_EQ(SDL_GetDesktopDisplayMode(0, &desktop), 0);
    EXPECT_EQ(x, (desktop.w - 438) / 2);
    EXPECT_EQ(y, (desktop.h - 429) / 2);

    platform::DialogTemplate selling;
    selling.style = kSellingStyle;
    selling.width = 293;
    selling.height = 306;
    selling.caption = "Valtor";
    platform::Dialog* screen = makeDialog(selling);
    ASSERT_NE(screen, nullptr);
    EXPECT_EQ(screen->clientWidth(), 440);
    EXPECT_EQ(screen->clientHeight(), 497);
    EXPECT_FALSE(windowFlags(*screen) & SDL_WINDOW_BORDERLESS);
    EXPECT_STREQ(SDL_GetWindowTitle(SDL_GetWindowFromID(screen->windowId())), "Valtor");
    screen->show();
    EXPECT_FALSE(windowFlags(*screen) & SDL_WINDOW_HIDDEN);

    platform::DialogTemplate empty;
    EXPECT_EQ(makeDialog(empty), nullptr);  // no size
}

TEST_F(DialogFixture, WindowLargerThanTheScreenKeepsItsTopLeftOnScreen) {
    SDL_Rect usable;
    platform::DialogTemplate huge;
    huge.style = kSellingStyle;
    huge.caption = "big";
    huge.width = 800;  // 1200 x 975 pixels: larger than the screen both ways
    huge.height = 600;
    platform::Dialog* dialog = makeDialog(huge);
    ASSERT_NE(dialog, nullptr);
    ASSERT_EQ(SDL_GetDisplayUsableBounds(0, &usable), 0);
    ASSERT_LT(usable.w, 1200);
    int x = -1;
    int y = -1;
    SDL_GetWindowPosition(SDL_GetWindowFromID(dialog->windowId()), &x, &y);
    EXPECT_EQ(x, usable.x);
    EXPECT_EQ(y, usable.y);
}

TEST(WindowPlacement, CentresAndClampsIntoTheUsableArea) {
    auto place = [](platform::Rect area, int width, int height, bool centre, int x = 0, int y = 0) {
        platform::placeWindow(area, width, height, centre, x, y);
        return std::pair(x, y);
    };
    // A panel on the left and at the top: the usable area starts at (40, 30).
    platform::Rect area{40, 30, 984, 738};
    EXPECT_EQ(place(area, 438, 429, true), std::pair(40 + 273, 30 + 154));
    EXPECT_EQ(place(area, 2000, 429, true), std::pair(40, 30 + 154));  // wider: the left edge shows
    EXPECT_EQ(place(area, 438, 800, true), std::pair(40 + 273, 30));   // taller: the top shows
    EXPECT_EQ(place(area, 438, 429, false, -500, 5000), std::pair(40, 30 + 738 - 429));
    EXPECT_EQ(place(area, 438, 429, false, 100, 100), std::pair(100, 100));
    EXPECT_EQ(place({0, 0, 1024, 768}, 1024, 768, true), std::pair(0, 0));
}

TEST_F(DialogFixture, LifecycleMessagesAndPaintOnlyWhenShown) {
    platform::DialogTemplate dialogTemplate;
    dialogTemplate.width = 40;
    dialogTemplate.height = 40;
    platform::Dialog* dialog = makeDialog(dialogTemplate, 1234);
    ASSERT_NE(dialog, nullptr);
    ASSERT_FALSE(received_.empty());
    EXPECT_EQ(received_[0].type, MessageType::InitDialog);
    EXPECT_EQ(received_[0].lParam, 1234);

    pump(dialog);
    EXPECT_EQ(count(MessageType::Paint), 0);  // hidden: no painting
    dialog->show();
    dialog->update();
    EXPECT_EQ(count(MessageType::Paint), 1);
    pump(dialog);
    EXPECT_EQ(count(MessageType::Paint), 1);  // validated
    dialog->invalidate();
    pump(dialog);
    EXPECT_EQ(count(MessageType::Paint), 2);

    platform::destroyDialog(dialog);
    EXPECT_EQ(received_.back().type, MessageType::Destroy);
    EXPECT_FALSE(platform::Dialog::isLive(dialog));
}

TEST_F(DialogFixture, DestroyingFromInsideTheProcedureIsSafe) {
    platform::Dialog* dialog = makeLauncherDialog();
    ASSERT_NE(dialog, nullptr);
    onMessage = [](platform::Dialog& target, const platform::Message& message) {
        if (message.type == MessageType::Close ||
            (message.type == MessageType::Command && platform::commandCode(message.wParam) == 1)) {
            platform::destroyDialog(&target);
        }
        return true;
    };
    auto* list = dialog->comboBox(1004);
    list->insertString(-1, "800x600");
    list->insertString(-1, "1024x768");
    list->setCurSel(0);
    dialog->show();
    ASSERT_TRUE(dialog->setFocus(1004));
    // The list's change notification destroys the dialog while the list is still handling the key.
    ASSERT_TRUE(platform::postKeyPress(*dialog, platform::Key::Down));
    ASSERT_TRUE(platform::postCloseRequest(*dialog));
    pump(dialog);
    EXPECT_FALSE(platform::Dialog::isLive(dialog));
    EXPECT_EQ(count(MessageType::Destroy), 1);
    EXPECT_EQ(count(MessageType::Close), 0);  // queued for a dialog that is gone
}

TEST_F(DialogFixture, MouseAndCloseRequestsBecomeTypedMessages) {
    platform::Dialog* dialog = makeLauncherDialog();
    ASSERT_NE(dialog, nullptr);
    dialog->show();
    pump(dialog);
    received_.clear();
    ASSERT_TRUE(platform::postMouseMove(*dialog, 396, 350));
    ASSERT_TRUE(platform::postClick(*dialog, 265, 335));
    ASSERT_TRUE(platform::postMouseButton(*dialog, 430, 420, true, true));
    ASSERT_TRUE(platform::postCloseRequest(*dialog));
    pump(dialog);
    ASSERT_EQ(received_.size(), 5u);
    EXPECT_EQ(received_[0].type, MessageType::MouseMove);
    EXPECT_EQ(platform::pointX(received_[0].lParam), 396u);
    EXPECT_EQ(platform::pointY(received_[0].lParam), 350u);
    EXPECT_EQ(received_[1].type, MessageType::LeftButtonDown);
    EXPECT_EQ(received_[1].lParam, 265 | (335 << 16));
    EXPECT_EQ(received_[2].type, MessageType::LeftButtonUp);
    EXPECT_EQ(received_[3].type, MessageType::RightButtonDown);
    EXPECT_EQ(received_[4].type, MessageType::Close);
    EXPECT_EQ(received_[4].dialog, dialog);
}

TEST_F(DialogFixture, KeysAltF4EnterAndEscape) {
    platform::DialogTemplate dialogTemplate;
    dialogTemplate.style = platform::kStylePopup | platform::kStyleSystemMenu;
    dialogTemplate.width = 100;
    dialogTemplate.height = 100;
    platform::Dialog* dialog = makeDialog(dialogTemplate);
    ASSERT_NE(dialog, nullptr);
    onMessage = [](platform::Dialog&, const platform::Message& message) {
        return message.type != MessageType::KeyDown && message.type != MessageType::Command;
    };
    platform::postKeyPress(*dialog, platform::Key::Return);
    platform::postKeyPress(*dialog, platform::Key::Escape);
    platform::postKeyPress(*dialog, platform::Key::F4, platform::kModifierAlt);
    pump(dialog);
    EXPECT_EQ(commands(),
              (std::vector<std::pair<int, int>>{{platform::kCommandOk, 0}, {platform::kCommandCancel, 0}}));
    EXPECT_EQ(count(MessageType::Close), 1);

    // Without the window menu Alt+F4 is only a key.
    dialogTemplate.style = platform::kStylePopup;
    platform::Dialog* plain = makeDialog(dialogTemplate);
    ASSERT_NE(plain, nullptr);
    received_.clear();
    platform::postKeyPress(*plain, platform::Key::F4, platform::kModifierAlt);
    pump(plain);
    EXPECT_EQ(count(MessageType::Close), 0);
    EXPECT_EQ(count(MessageType::KeyDown), 1);
}

TEST_F(DialogFixture, QuitAndPostedMessages) {
    platform::DialogTemplate dialogTemplate;
    dialogTemplate.width = 20;
    dialogTemplate.height = 20;
    platform::Dialog* dialog = makeDialog(dialogTemplate);
    ASSERT_NE(dialog, nullptr);
    platform::postQuitMessage(7);
    EXPECT_TRUE(platform::postMessage(dialog, MessageType::Close, 0, 0));
    EXPECT_FALSE(platform::postMessage(nullptr, MessageType::Close, 0, 0));
    platform::Message message;
    ASSERT_TRUE(platform::peekMessage(message));
    EXPECT_EQ(message.type, MessageType::Quit);
    EXPECT_EQ(message.wParam, 7u);
    EXPECT_EQ(message.dialog, nullptr);
    EXPECT_FALSE(platform::dispatchMessage(message));
    ASSERT_TRUE(platform::peekMessage(message));
    EXPECT_EQ(message.type, MessageType::Close);
    EXPECT_TRUE(platform::dispatchMessage(message));
    EXPECT_FALSE(platform::peekMessage(message));
}

TEST_F(DialogFixture, BlitPaintsThePicturesTopRowAtTheTop) {
    platform::DialogTemplate dialogTemplate;
    dialogTemplate.width = 40;   // 60 pixels
    dialogTemplate.height = 40;  // 65 pixels
    platform::Dialog* dialog = makeDialog(dialogTemplate);
    ASSERT_NE(dialog, nullptr);
    auto bottomUp = stripes(4, {0x00FF00, 0x0000FF, 0xFF0000}, true);
    auto topDown = stripes(4, {0x00FF00, 0x0000FF, 0xFF0000}, false);
    ASSERT_TRUE(bottomUp && topDown);
    EXPECT_FALSE(dialog->blit(*bottomUp, 0, 0));  // only while painting
    onMessage = [&](platform::Dialog& target, const platform::Message& message) {
        if (message.type == MessageType::Paint) {
            target.beginPaint();
            target.blit(*bottomUp, 10, 20);
            target.blit(*topDown, 30, 20);
            target.blit(-2, -1, 4, 3, *bottomUp, 0, 0);  // hangs off the top-left corner
            target.blit(58, 63, 4, 3, *bottomUp, 0, 0);  // hangs off the bottom-right corner
            target.endPaint();
        }
        return true;
    };
    dialog->show();
    dialog->update();
    std::vector<uint32_t> pixels = dialog->capture();
    ASSERT_EQ(pixels.size(), 60u * 65u);
    auto at = [&](int x, int y) { return pixels[static_cast<size_t>(y) * 60 + x]; };
    EXPECT_EQ(at(10, 20), 0x00FF00u);  // top row: green
    EXPECT_EQ(at(13, 21), 0x0000FFu + 3);
    EXPECT_EQ(at(10, 22), 0xFF0000u);  // bottom row: red
    EXPECT_EQ(at(30, 20), 0x00FF00u);  // a top-down bitmap comes out the same
    EXPECT_EQ(at(30, 22), 0xFF0000u);
    EXPECT_EQ(at(0, 0), 0x0000FFu + 2);    // picture pixel (2, 1)
    EXPECT_EQ(at(59, 64), 0x0000FFu + 1);  // picture pixel (1, 1)
    EXPECT_EQ(at(14, 20), 0xF0F0F0u);      // the unpainted dialog colour around it
    EXPECT_EQ(at(10, 23), 0xF0F0F0u);
}

TEST(Bitmap, HeaderIsCheckedBeforeAnyMemoryIsTaken) {
    platform::BitmapInfoHeader header;
    header.width = 3;
    header.height = 2;
    header.sizeImage = 24;
    void* bits = nullptr;
    auto bitmap = platform::Bitmap::create(header, &bits);
    ASSERT_TRUE(bitmap);
    ASSERT_EQ(bits, bitmap->pixels());
    EXPECT_TRUE(bitmap->bottomUp());
    EXPECT_EQ(static_cast<uint32_t*>(bits)[5], 0u);
    EXPECT_EQ(bitmap->pictureRow(0), bitmap->pixels() + 3);

    auto refused = [](auto change) {
        platform::BitmapInfoHeader bad;
        bad.width = 4;
        bad.height = 4;
        change(bad);
        void* pixels = reinterpret_cast<void*>(1);
        bool isNull = platform::Bitmap::create(bad, &pixels) == nullptr;
        return isNull && pixels == nullptr;
    };
    EXPECT_TRUE(refused([](auto& h) { h.bitCount = 24; }));
    EXPECT_TRUE(refused([](auto& h) { h.planes = 2; }));
    EXPECT_TRUE(refused([](auto& h) { h.compression = 3; }));
    EXPECT_TRUE(refused([](auto& h) { h.size = 124; }));
    EXPECT_TRUE(refused([](auto& h) { h.width = 0; }));
    EXPECT_TRUE(refused([](auto& h) { h.height = 0; }));
    EXPECT_TRUE(refused([](auto& h) { h.width = -4; }));
    EXPECT_TRUE(refused([](auto& h) { h.width = 40000; }));
    EXPECT_TRUE(refused([](auto& h) { h.height = INT32_MIN; }));
    EXPECT_TRUE(refused([](auto& h) {
        h.width = 16384;
        h.height = 16384;  // 1 GiB
    }));
    header.height = -2;
    auto topDown = platform::Bitmap::create(header, nullptr);
    ASSERT_TRUE(topDown);
    EXPECT_FALSE(topDown->bottomUp());
    EXPECT_EQ(topDown->height(), 2);
}
