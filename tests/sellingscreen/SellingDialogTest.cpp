// The selling screen's dialog procedure in a real dialog without a display: hot rectangles, repaints and
// painting. Closing and destruction are covered by the runs of the whole program.
#include <gtest/gtest.h>

#include "platform/sdl/UiScale.h"

#include <memory>
#include <utility>
#include <vector>

#include "platform/DialogFixture.h"
#include "platform/MessageLoop.h"
#include "platform/SyntheticInput.h"
#include "sellingscreen/SellingScreen.h"

namespace {

using platform::MessageType;

// A bitmap of one colour (0x00RRGGBB).
std::unique_ptr<platform::Bitmap> solidBitmap(int width, int height, uint32_t rgb) {
    platform::BitmapInfoHeader header;
    header.width = width;
    header.height = height;
    void* pixels = nullptr;
    auto bitmap = platform::Bitmap::create(header, &pixels);
    if (bitmap) {
        for (int i = 0; i < width * height; ++i)
            bitmap->pixels()[i] = rgb;
    }
    return bitmap;
}

class SellingDialogTest : public DialogFixture {
  protected:
    void SetUp() override {
        DialogFixture::SetUp();
        selling::resetSellingState();
        onMessage = selling::sellingDialogProc;
    }
    void TearDown() override {
        DialogFixture::TearDown();
        selling::resetSellingState();
    }

    platform::Dialog* makeSellingDialog() {
        platform::Dialog* dialog = makeDialog(selling::sellingDialogTemplate());
        if (dialog != nullptr) {
            dialog->show();
            pump(dialog);
        }
        return dialog;
    }

    // Sends a mouse message straight to the procedure, as the message loop would deliver it.
    void send(platform::Dialog& dialog, MessageType type, int x, int y) {
        platform::Message message;
        message.type = type;
        message.dialog = &dialog;
        message.lParam = platform::packPoint(x, y);
        selling::sellingDialogProc(dialog, message);
    }

    uint32_t pixel(platform::Dialog& dialog, int x, int y) {
        std::vector<uint32_t> picture = dialog.capture();
        return picture.at(static_cast<size_t>(y) * dialog.clientWidth() + x) & 0xFFFFFF;
    }
};

}  // namespace

TEST_F(SellingDialogTest, HotRectanglesIncludeTheirBoundsForClicksAndHovering) {
    platform::Dialog* dialog = makeSellingDialog();
    ASSERT_NE(dialog, nullptr);
    struct Case {
        int x, y;
        int button;
    };
    const Case cases[] = {
        {231, 446, selling::kBuyButton},   {360, 493, selling::kBuyButton},
        {231, 493, selling::kBuyButton},   {230, 446, selling::kNoButton},
        {361, 446, selling::kNoButton},    {300, 445, selling::kNoButton},
        {300, 494, selling::kNoButton},    {372, 453, selling::kCloseButton},
        {429, 489, selling::kCloseButton}, {430, 489, selling::kNoButton},
        {429, 490, selling::kNoButton},    {371, 470, selling::kNoButton},
        {0, 0, selling::kNoButton},        {65535, 65535, selling::kNoButton},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.x << "," << c.y);
        selling::resetSellingState();
        send(*dialog, MessageType::MouseMove, c.x, c.y);
        EXPECT_EQ(selling::hoverButton, c.button);
        EXPECT_TRUE(selling::screenRunning);  // moving never ends the screen

        selling::sellingChoice = -1;  // so that a click on the close button visibly sets 0
        send(*dialog, MessageType::LeftButtonDown, c.x, c.y);
        EXPECT_EQ(selling::lastMouseX, c.x);
        EXPECT_EQ(selling::lastMouseY, c.y);
        EXPECT_EQ(selling::screenRunning, c.button == selling::kNoButton);
        int expectedChoice = c.button == selling::kBuyButton ? 1 : c.button == selling::kCloseButton ? 0 : -1;
        EXPECT_EQ(selling::sellingChoice, expectedChoice);
    }
}

TEST_F(SellingDialogTest, RepaintsOnceOnEnteringAndOnceOnLeavingAButton) {
    platform::Dialog* dialog = makeSellingDialog();
    ASSERT_NE(dialog, nullptr);
    const int initial = count(MessageType::Paint);
    EXPECT_EQ(initial, 1);  // the first showing
    auto paintsAfterMoves = [&](std::vector<std::pair<int, int>> points) {
        int before = count(MessageType::Paint);
        for (auto [x, y] : points) {
            EXPECT_TRUE(platform::postMouseMove(*dialog, x, y));
            pump(dialog);
        }
        return count(MessageType::Paint) - before;
    };
    EXPECT_EQ(paintsAfterMoves({{100, 100}, {200, 300}, {230, 446}}), 0);  // outside both buttons
    EXPECT_EQ(paintsAfterMoves({{231, 446}}), 1);                          // entering the buy button
    EXPECT_EQ(paintsAfterMoves({{232, 447}, {300, 470}, {360, 493}}), 0);  // moving inside it
    EXPECT_EQ(paintsAfterMoves({{361, 493}}), 1);                          // leaving it
    EXPECT_EQ(paintsAfterMoves({{380, 460}, {429, 489}}), 1);              // into the close button
    EXPECT_EQ(paintsAfterMoves({{300, 470}}), 1);                          // straight over to the buy button
    // Many moves waiting at once still end in one paint for the last change.
    for (int x = 240; x < 350; x += 10)
        platform::postMouseMove(*dialog, x, 460);
    platform::postMouseMove(*dialog, 10, 10);
    int before = count(MessageType::Paint);
    pump(dialog);
    EXPECT_EQ(count(MessageType::Paint) - before, 1);
    EXPECT_EQ(selling::hoverButton, selling::kNoButton);
}

TEST_F(SellingDialogTest, PaintsTheBackgroundAndOnlyTheLitButtonUnderThePointer) {
    selling::backgroundBitmap = solidBitmap(440, 497, 0x203040);
    selling::buyButtonBitmap = solidBitmap(127, 76, 0xC04020);
    selling::closeButtonBitmap = solidBitmap(57, 44, 0x40C020);
    platform::Dialog* dialog = makeSellingDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->clientWidth(), 440);  // the background's size
    EXPECT_EQ(dialog->clientHeight(), 497);
    EXPECT_EQ(pixel(*dialog, 0, 0), 0x203040u);
    EXPECT_EQ(pixel(*dialog, 234, 418), 0x203040u);
    EXPECT_EQ(pixel(*dialog, 373, 446), 0x203040u);

    platform::postMouseMove(*dialog, 300, 470);
    pump(dialog);
    EXPECT_EQ(pixel(*dialog, 234, 418), 0xC04020u);  // the lit picture's corner
    EXPECT_EQ(pixel(*dialog, 234 + 126, 418 + 75), 0xC04020u);
    EXPECT_EQ(pixel(*dialog, 233, 418), 0x203040u);  // just beside it
    EXPECT_EQ(pixel(*dialog, 373 + 56, 446 + 43), 0x203040u);

    platform::postMouseMove(*dialog, 400, 470);
    pump(dialog);
    EXPECT_EQ(pixel(*dialog, 234, 418), 0x203040u);  // the buy button is dark again
    EXPECT_EQ(pixel(*dialog, 373, 446), 0x40C020u);
    EXPECT_EQ(pixel(*dialog, 373 + 56, 446 + 43), 0x40C020u);

    platform::postMouseMove(*dialog, 20, 20);
    pump(dialog);
    EXPECT_EQ(pixel(*dialog, 373, 446), 0x203040u);
}

TEST(SellingScale, EveryButtonCornerMapsBackAtScalesOneToThree) {
    for (int scale : {1, 2, 3}) {
        SCOPED_TRACE(scale);
        for (const platform::FocusArea& area : selling::buttonAreas()) {
            const platform::Rect& r = area.rect;
            int button =
                area.role == platform::AreaRole::Primary ? selling::kBuyButton : selling::kCloseButton;
            auto at = [&](int px, int py) {
                return selling::buttonAt(static_cast<uint32_t>(platform::windowToClient(px, scale)),
                                         static_cast<uint32_t>(platform::windowToClient(py, scale)));
            };
            int left = r.x * scale;
            int top = r.y * scale;
            int right = (r.x + r.width) * scale - 1;
            int bottom = (r.y + r.height) * scale - 1;
            for (auto [px, py] : {std::pair{left, top}, {right, top}, {left, bottom}, {right, bottom}}) {
                EXPECT_EQ(at(px, py), button) << px << "," << py;
            }
            EXPECT_NE(at(left - 1, top), button);
            EXPECT_NE(at(right + 1, bottom), button);
            EXPECT_NE(at(left, top - 1), button);
            EXPECT_NE(at(right, bottom + 1), button);
        }
    }
}
