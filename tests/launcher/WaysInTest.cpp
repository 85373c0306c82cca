// The launcher played without a mouse: the keyboard and a game controller reach the lists and the two
// click areas, and acting on an area does what a click on it does.
#include "LauncherFixture.h"
#include "platform/sdl/UiScale.h"

using launcher::g_launcher;

TEST_F(LauncherTest, KeyboardAlonePlaysThroughLikeTheMouse) {
    // Tab to the language list, the next language, Tab on to the start area, Enter.
    duringStartUp = [] {
        platform::Dialog& dialog = *g_launcher.dialog;
        for (uint32_t key : {platform::Key::Tab, platform::Key::Tab, platform::Key::Down, platform::Key::Tab,
                             platform::Key::Tab, platform::Key::Tab, platform::Key::Return}) {
            platform::postKeyPress(dialog, key);
        }
    };
    EXPECT_EQ(launcher::launcherMain(), 0);
    const std::string expected = settingsBytes(0, 1024, 768, 0, 1, "deutsch", 1252);
    EXPECT_EQ(readSettingsFile(), expected);
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0].file, "valtor.exe");
    EXPECT_EQ(starts[0].settingsAtStart, expected);

    // Space on the quit area: written, nothing started, as after a click there.
    launcher::resetLauncherState();
    duringStartUp = [] {
        platform::postKeyPress(*g_launcher.dialog, platform::Key::Tab, platform::kModifierShift);
        platform::postKeyPress(*g_launcher.dialog, platform::Key::Space);
    };
    EXPECT_EQ(launcher::launcherMain(), 0);
    EXPECT_EQ(readSettingsFile(), settingsBytes(0, 1024, 768, 0, 1, "deutsch", 1252));
    EXPECT_EQ(starts.size(), 1u);
}

TEST_F(LauncherTest, AreasAreTheClickAreasAndActingOnThemIsAClick) {
    startUp();
    const auto& areas = dialog().focusAreas();
    ASSERT_EQ(areas.size(), 2u);
    // Every inner corner of an area is in its click area, every pixel beside it is not.
    for (size_t i = 0; i < areas.size(); ++i) {
        const platform::Rect& r = areas[i].rect;
        auto inside = i == 0 ? launcher::inStartArea : launcher::inQuitArea;
        for (auto [x, y] : {std::pair{r.x, r.y},
                            {r.x + r.width - 1, r.y},
                            {r.x, r.y + r.height - 1},
                            {r.x + r.width - 1, r.y + r.height - 1}}) {
            EXPECT_TRUE(inside(x, y)) << i << ": " << x << "," << y;
            EXPECT_FALSE(inside(x - 1, y) && inside(x + 1, y) && inside(x, y - 1) && inside(x, y + 1))
                << "not a corner: " << x << "," << y;
        }
        EXPECT_FALSE(inside(r.x - 1, r.y));
        EXPECT_FALSE(inside(r.x + r.width, r.y + r.height - 1));
        EXPECT_FALSE(inside(r.x, r.y - 1));
        EXPECT_FALSE(inside(r.x, r.y + r.height));
    }
    EXPECT_EQ(areas[0].role, platform::AreaRole::Primary);
    EXPECT_EQ(areas[1].role, platform::AreaRole::Cancel);
    dialog().activateArea(1);
    EXPECT_FALSE(g_launcher.running);
    EXPECT_EQ(g_launcher.startRequested, 0);
    g_launcher.running = true;
    dialog().activateArea(0);
    EXPECT_FALSE(g_launcher.running);
    EXPECT_EQ(g_launcher.startRequested, 1);
}

TEST_F(LauncherTest, ControllerStartButtonStartsTheGameWithTheChosenQuality) {
    int pad = -1;
    duringStartUp = [&pad] { pad = platform::attachVirtualController(); };
    startUp();
    ASSERT_GE(pad, 0);
    auto press = [&](platform::ControllerButton button) {
        platform::setControllerButton(pad, button, true);
        pump();
        platform::setControllerButton(pad, button, false);
        pump();
    };
    pump();
    // Down to the quality list (template order: resolution, audio, language, quality), open it, move to
    // the last entry, choose it.
    for (int i = 0; i < 3; ++i) {
        press(platform::ControllerButton::DPadDown);
    }
    ASSERT_EQ(dialog().focusedControl(), launcher::kQualityList);
    press(platform::ControllerButton::A);
    press(platform::ControllerButton::DPadRight);
    press(platform::ControllerButton::DPadRight);
    press(platform::ControllerButton::A);
    EXPECT_EQ(list(launcher::kQualityList).getCurSel(), 2);
    platform::setControllerButton(pad, platform::ControllerButton::Start, true);
    launcher::runMessageLoop();
    EXPECT_EQ(launcher::launcherShutDown(), 0);
    platform::detachVirtualController(pad);
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0].file, "valtor_low2.exe");
}

// At every scale, the window pixels that show an area's corner pixels are taken back to that corner, and
// the launcher's own click test decides on it; the pixels just outside map outside.
TEST(LauncherScale, EveryAreaCornerMapsBackAtScalesOneToThree) {
    for (int scale : {1, 2, 3}) {
        SCOPED_TRACE(scale);
        for (const platform::FocusArea& area : launcher::clickAreas()) {
            const platform::Rect& r = area.rect;
            auto hit = [&](int px, int py) {
                uint32_t x = static_cast<uint32_t>(platform::windowToClient(px, scale));
                uint32_t y = static_cast<uint32_t>(platform::windowToClient(py, scale));
                return area.role == platform::AreaRole::Primary ? launcher::inStartArea(x, y)
                                                                : launcher::inQuitArea(x, y);
            };
            int left = r.x * scale;
            int top = r.y * scale;
            int right = (r.x + r.width) * scale - 1;  // the last window pixel of the last client pixel
            int bottom = (r.y + r.height) * scale - 1;
            for (auto [px, py] : {std::pair{left, top}, {right, top}, {left, bottom}, {right, bottom}}) {
                EXPECT_TRUE(hit(px, py)) << px << "," << py;
            }
            EXPECT_FALSE(hit(left - 1, top));
            EXPECT_FALSE(hit(left, top - 1));
            EXPECT_FALSE(hit(right + 1, bottom));
            EXPECT_FALSE(hit(right, bottom + 1));
        }
    }
    EXPECT_EQ(platform::windowToClient(-1, 2), -1);
    EXPECT_EQ(platform::windowToClient(-2, 2), -1);
    EXPECT_EQ(platform::windowToClient(-3, 2), -2);
}
