// The ways into a dialog besides the mouse: focus areas reached with Tab and shown by a ring, game
// controllers (a virtual one, hot-plugged through the host's controller support), touch taps, and the
// integer scale with its mapping of window pixels back to client pixels.
#include <SDL.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>
#include <utility>
#include <vector>

#include "DialogFixture.h"
#include "platform/SyntheticInput.h"
#include "platform/sdl/UiScale.h"

using platform::ControllerButton;
using platform::MessageType;

namespace {

constexpr uint32_t kRingColour = platform::kHighlightColour;

// The launcher's dialog with its two click areas as focus areas (start, then quit).
class InputWaysTest : public DialogFixture {
  protected:
    void SetUp() override {
        DialogFixture::SetUp();
        unsetenv("VALTOR_UI_SCALE");
    }
    void TearDown() override {
        unsetenv("VALTOR_UI_SCALE");
        DialogFixture::TearDown();
    }

    platform::Dialog* launcherWithAreas() {
        platform::Dialog* dialog = makeLauncherDialog();
        if (dialog != nullptr) {
            for (const ListPlace& place : kLauncherLists) {
                dialog->comboBox(place.id)->insertString(-1, "first");
                dialog->comboBox(place.id)->insertString(-1, "second");
                dialog->comboBox(place.id)->setCurSel(0);
            }
            dialog->setFocusAreas({{{265, 335, 131, 40}, platform::AreaRole::Primary},
                                   {{286, 387, 89, 36}, platform::AreaRole::Cancel}});
            dialog->show();
            pump(dialog);
            received_.clear();
        }
        return dialog;
    }

    // Where the focus is: a list id, or -1 - area index, or 0.
    static int focusOf(const platform::Dialog& dialog) {
        return dialog.focusedArea() >= 0 ? -1 - dialog.focusedArea() : dialog.focusedControl();
    }

    // Client positions of the left button presses the procedure received.
    std::vector<std::pair<int, int>> presses() const {
        std::vector<std::pair<int, int>> points;
        for (const auto& message : received_) {
            if (message.type == MessageType::LeftButtonDown) {
                points.emplace_back(platform::pointX(message.lParam), platform::pointY(message.lParam));
            }
        }
        return points;
    }
};

}  // namespace

TEST_F(InputWaysTest, TabGoesThroughTheListsThenTheAreasAndBack) {
    platform::Dialog* dialog = launcherWithAreas();
    ASSERT_NE(dialog, nullptr);
    std::vector<int> order{focusOf(*dialog)};
    for (int i = 0; i < 7; ++i) {
        platform::postKeyPress(*dialog, platform::Key::Tab);
        pump(dialog);
        order.push_back(focusOf(*dialog));
    }
    EXPECT_EQ(order, (std::vector<int>{1004, 1005, 1006, 1007, 1008, -1, -2, 1004}));
    platform::postKeyPress(*dialog, platform::Key::Tab, platform::kModifierShift);
    pump(dialog);
    EXPECT_EQ(focusOf(*dialog), -2);  // backwards from the first list: the quit area
    // A hidden list is skipped.
    dialog->comboBox(1008)->show(false);
    for (int i = 0; i < 2; ++i) {
        platform::postKeyPress(*dialog, platform::Key::Tab, platform::kModifierShift);
    }
    pump(dialog);
    EXPECT_EQ(focusOf(*dialog), 1007);
    EXPECT_EQ(count(MessageType::KeyDown), 0);  // every Tab was the dialog's own
}

TEST_F(InputWaysTest, RingIsDrawnAroundTheFocusedAreaOnly) {
    platform::Dialog* dialog = launcherWithAreas();
    ASSERT_NE(dialog, nullptr);
    auto pixel = [dialog](int x, int y) { return dialog->capture()[static_cast<size_t>(y) * 438 + x]; };
    ASSERT_NE(pixel(263, 333), kRingColour);
    dialog->setFocusArea(0);
    EXPECT_EQ(dialog->focusRingRect().x, 263);
    EXPECT_EQ(dialog->focusRingRect().y, 333);
    EXPECT_EQ(dialog->focusRingRect().width, 135);
    EXPECT_EQ(dialog->focusRingRect().height, 44);
    // Two pixels wide, two pixels outside the area, on all four sides; the area itself is untouched.
    for (auto [x, y] :
         {std::pair{263, 333}, {264, 334}, {397, 376}, {330, 333}, {330, 376}, {263, 355}, {397, 355}}) {
        EXPECT_EQ(pixel(x, y), kRingColour) << x << "," << y;
    }
    EXPECT_NE(pixel(265, 335), kRingColour);
    EXPECT_NE(pixel(262, 332), kRingColour);
    EXPECT_NE(pixel(284, 385), kRingColour);  // not around the quit area
    dialog->setFocusArea(1);
    EXPECT_NE(pixel(263, 333), kRingColour);
    EXPECT_EQ(pixel(284, 385), kRingColour);
    dialog->setFocus(1004);  // a list takes the focus: no ring
    EXPECT_NE(pixel(284, 385), kRingColour);
    EXPECT_EQ(dialog->focusRingRect().width, 0);
}

TEST_F(InputWaysTest, EnterAndSpaceActAsAClickAtTheCentre) {
    platform::Dialog* dialog = launcherWithAreas();
    ASSERT_NE(dialog, nullptr);
    dialog->setFocusArea(0);
    EXPECT_EQ(count(MessageType::MouseMove), 1);  // the area learns of its focus as from the pointer
    platform::postKeyPress(*dialog, platform::Key::Return);
    pump(dialog);
    dialog->setFocusArea(1);
    platform::postKeyPress(*dialog, platform::Key::Space);
    pump(dialog);
    EXPECT_EQ(presses(), (std::vector<std::pair<int, int>>{{330, 355}, {330, 405}}));
    EXPECT_EQ(count(MessageType::LeftButtonUp), 2);
    EXPECT_TRUE(commands().empty());  // no OK command besides

    // On a closed list Space opens it, as a click would; Escape on a closed list does nothing.
    dialog->setFocus(1006);
    platform::postKeyPress(*dialog, platform::Key::Escape);
    pump(dialog);
    EXPECT_EQ(dialog->focusedControl(), 1006);
    EXPECT_FALSE(dialog->comboBox(1006)->isDroppedDown());
    platform::postKeyPress(*dialog, platform::Key::Space);
    pump(dialog);
    EXPECT_TRUE(dialog->comboBox(1006)->isDroppedDown());
}

TEST_F(InputWaysTest, HotPluggedControllerMovesTheFocusAndActs) {
    platform::Dialog* dialog = launcherWithAreas();
    ASSERT_NE(dialog, nullptr);
    int pad = platform::attachVirtualController();
    ASSERT_GE(pad, 0) << SDL_GetError();
    pump(dialog);  // the host announces the new controller; the layer opens it
    auto press = [&](ControllerButton button) {
        platform::setControllerButton(pad, button, true);
        pump(dialog);
        platform::setControllerButton(pad, button, false);
        pump(dialog);
    };
    ASSERT_EQ(dialog->focusedControl(), 1004);
    press(ControllerButton::DPadDown);
    EXPECT_EQ(dialog->focusedControl(), 1005);
    press(ControllerButton::DPadUp);
    press(ControllerButton::DPadUp);
    EXPECT_EQ(focusOf(*dialog), -2);  // up from the first list: the last area

    // A opens the focused list, right moves through its entries, A chooses; B closes without choosing.
    dialog->setFocus(1005);
    platform::ComboBox& audio = *dialog->comboBox(1005);
    press(ControllerButton::A);
    ASSERT_TRUE(audio.isDroppedDown());
    press(ControllerButton::DPadRight);
    press(ControllerButton::A);
    EXPECT_FALSE(audio.isDroppedDown());
    EXPECT_EQ(audio.getCurSel(), 1);
    press(ControllerButton::A);
    press(ControllerButton::DPadLeft);
    press(ControllerButton::B);
    EXPECT_FALSE(audio.isDroppedDown());
    EXPECT_EQ(audio.getCurSel(), 1);

    // Start acts on the primary area, Back on the cancel area, wherever the focus is.
    received_.clear();
    press(ControllerButton::Start);
    press(ControllerButton::Back);
    EXPECT_EQ(presses(), (std::vector<std::pair<int, int>>{{330, 355}, {330, 405}}));

    // Pulled out: its buttons are gone with it.
    ASSERT_TRUE(platform::detachVirtualController(pad));
    pump(dialog);
    EXPECT_FALSE(platform::setControllerButton(pad, ControllerButton::DPadDown, true));
    EXPECT_EQ(dialog->focusedControl(), 1005);
}

TEST_F(InputWaysTest, StickHasADeadZoneAndAHeldDirectionRepeats) {
    platform::Dialog* dialog = launcherWithAreas();
    ASSERT_NE(dialog, nullptr);
    int pad = platform::attachVirtualController();
    ASSERT_GE(pad, 0) << SDL_GetError();
    pump(dialog);
    ASSERT_EQ(dialog->focusedControl(), 1004);
    platform::setControllerStick(pad, 0, 8000);  // inside the dead zone
    pump(dialog);
    EXPECT_EQ(dialog->focusedControl(), 1004);
    platform::setControllerStick(pad, 3000, 30000);  // down
    pump(dialog);
    EXPECT_EQ(dialog->focusedControl(), 1005);
    pump(dialog);
    EXPECT_EQ(dialog->focusedControl(), 1005);  // held, but not yet repeating
    // Held past the delay: it repeats, one step per interval.
    auto start = std::chrono::steady_clock::now();
    while (dialog->focusedControl() == 1005 &&
           std::chrono::steady_clock::now() - start < std::chrono::seconds(2)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        pump(dialog);
    }
    auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(dialog->focusedControl(), 1006);
    EXPECT_GE(waited, std::chrono::milliseconds(300));
    platform::setControllerStick(pad, 0, 0);  // back to the middle: no more steps
    pump(dialog);
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    pump(dialog);
    EXPECT_EQ(dialog->focusedControl(), 1006);
    platform::detachVirtualController(pad);
    pump(dialog);
}

TEST_F(InputWaysTest, TapIsAClickAndOpensAClosedList) {
    platform::Dialog* dialog = launcherWithAreas();
    ASSERT_NE(dialog, nullptr);
    platform::Rect field = dialog->comboBox(1007)->fieldRect();
    platform::postTap(*dialog, field.x + 5, field.y + 5);
    pump(dialog);
    EXPECT_TRUE(dialog->comboBox(1007)->isDroppedDown());
    EXPECT_EQ(dialog->focusedControl(), 1007);
    platform::postTap(*dialog, 300, 60);  // elsewhere: closes the list only
    pump(dialog);
    EXPECT_FALSE(dialog->comboBox(1007)->isDroppedDown());
    EXPECT_TRUE(presses().empty());
    platform::postTap(*dialog, 300, 60);
    // A second finger while the first is down is no click.
    platform::postFinger(*dialog, 0.5f, 0.5f, true, 1);
    platform::postFinger(*dialog, 0.2f, 0.2f, true, 2);
    platform::postFinger(*dialog, 0.2f, 0.2f, false, 2);
    platform::postFinger(*dialog, 0.5f, 0.5f, false, 1);
    pump(dialog);
    EXPECT_EQ(presses(), (std::vector<std::pair<int, int>>{{300, 60}, {219, 214}}));
}

TEST(UiScale, FromDpiOverrideAndScreen) {
    EXPECT_EQ(platform::uiScaleForDpi(0), 1);
    EXPECT_EQ(platform::uiScaleForDpi(96), 1);
    EXPECT_EQ(platform::uiScaleForDpi(191.9), 1);
    EXPECT_EQ(platform::uiScaleForDpi(192), 2);
    EXPECT_EQ(platform::uiScaleForDpi(287), 2);
    EXPECT_EQ(platform::uiScaleForDpi(288), 3);
    EXPECT_EQ(platform::uiScaleForDpi(1e30), platform::kMaxUiScale);
    EXPECT_EQ(platform::parseUiScale("2"), 2);
    EXPECT_EQ(platform::parseUiScale("8"), 8);
    for (const char* bad : {"", "0", "9", "-1", " 2", "2x", "1.5", "99999999999999999999", "two"}) {
        EXPECT_EQ(platform::parseUiScale(bad), 0) << bad;
    }
    EXPECT_EQ(platform::parseUiScale(nullptr), 0);
    // Never larger than the screen: 438 x 429 at 3 needs 1314 x 1287.
    EXPECT_EQ(platform::fitUiScale(3, 438, 429, {0, 0, 1920, 1200}), 2);
    EXPECT_EQ(platform::fitUiScale(3, 438, 429, {0, 0, 1314, 1287}), 3);
    EXPECT_EQ(platform::fitUiScale(2, 438, 429, {0, 0, 1024, 768}), 1);
    EXPECT_EQ(platform::fitUiScale(2, 4000, 4000, {0, 0, 1024, 768}), 1);
}

// Clicks at the window pixels of each area's corners reach the procedure at the area's client corners,
// at every scale that fits the screen (the dummy screen is 1024 x 768: a 150 x 130 dialog fits at 1 to 3).
TEST_F(InputWaysTest, WindowPixelsMapBackToClientPixelsAtEveryScale) {
    for (int scale : {1, 2, 3}) {
        SCOPED_TRACE(scale);
        setenv("VALTOR_UI_SCALE", std::to_string(scale).c_str(), 1);
        platform::DialogTemplate small;
        small.style = 0x80880848;
        small.width = 100;  // 150 x 130 pixels
        small.height = 80;
        platform::Dialog* dialog = makeDialog(small);
        ASSERT_NE(dialog, nullptr);
        ASSERT_EQ(dialog->scale(), scale);
        int w = 0;
        int h = 0;
        SDL_GetWindowSize(SDL_GetWindowFromID(dialog->windowId()), &w, &h);
        EXPECT_EQ(std::pair(w, h), std::pair(150 * scale, 130 * scale));
        EXPECT_EQ(dialog->clientWidth(), 150);
        dialog->show();
        received_.clear();
        platform::Rect area{20, 30, 40, 10};  // client 20..59 x 30..39
        std::vector<std::pair<int, int>> expected;
        for (auto [cx, cy] : {std::pair{20, 30}, {59, 30}, {20, 39}, {59, 39}}) {
            // The first and the last window pixel of the client pixel's square.
            platform::postPixelClick(*dialog, cx * scale, cy * scale);
            platform::postPixelClick(*dialog, cx * scale + scale - 1, cy * scale + scale - 1);
            expected.push_back({cx, cy});
            expected.push_back({cx, cy});
        }
        platform::postPixelClick(*dialog, area.x * scale - 1, area.y * scale);  // just left of the area
        expected.push_back({19, 30});
        pump(dialog);
        EXPECT_EQ(presses(), expected);
        platform::destroyDialog(dialog);
        dialogs_.clear();
    }
}
