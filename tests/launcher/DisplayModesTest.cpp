// What the adapter's answers allow, and the resolutions offered.
#include <gtest/gtest.h>

#include "launcher/DisplayModes.h"

using platform::DisplayMode;
using platform::GraphicsAdapter;

namespace {

DisplayMode mode(uint32_t width, uint32_t height, uint32_t refresh = 60,
                 uint32_t format = platform::kFormatX8R8G8B8) {
    return {width, height, refresh, format};
}

int32_t levelFor(platform::AdapterCapabilities capabilities) {
    return launcher::graphicsLevelFor(GraphicsAdapter(capabilities, {}));
}

}  // namespace

TEST(DisplayModes, GraphicsLevelFromTheFourAnswers) {
    EXPECT_EQ(levelFor({4, true, true, platform::kPixelShader2}), 2);
    EXPECT_EQ(levelFor({3, true, true, platform::kPixelShader3}), 1);
    EXPECT_EQ(levelFor({8, false, true, platform::kPixelShader3}), 1);
    EXPECT_EQ(levelFor({8, true, false, platform::kPixelShader3}), 0);
    EXPECT_EQ(levelFor({8, true, true, 0xFFFF01FF}), 0);
    EXPECT_EQ(levelFor({1, false, true, 0}), 0) << "a later test lowers the level further";
    EXPECT_EQ(levelFor({1, false, false, platform::kPixelShader3}), 0);
}

TEST(DisplayModes, ModeListKeepsTheFirstOfEachSizeWithinTheLimits) {
    GraphicsAdapter adapter({8, true, true, platform::kPixelShader3},
                            {mode(1024, 768, 60), mode(640, 480), mode(1024, 768, 75), mode(639, 480),
                             mode(800, 479), mode(5761, 1600), mode(5760, 1601), mode(5760, 1600),
                             mode(800, 600, 60, platform::kFormatR5G6B5), mode(640, 480, 75)});
    launcher::DisplayModeList list = launcher::buildModeList(adapter);
    EXPECT_EQ(list.capacity, 9u) << "room for every mode of the display format";
    ASSERT_EQ(list.count, 3u);
    EXPECT_EQ(list.records[0].width, 1024u);
    EXPECT_EQ(list.records[0].refreshRate, 60u) << "of 60 and 75 Hz the first reported stays";
    EXPECT_EQ(list.records[1].width, 640u);
    EXPECT_EQ(list.records[1].height, 480u);
    EXPECT_EQ(list.records[2].width, 5760u);
    EXPECT_EQ(list.records[2].height, 1600u);

    launcher::DisplayModeList none = launcher::buildModeList(GraphicsAdapter({}, {}));
    EXPECT_EQ(none.count, 0u);
    EXPECT_EQ(none.records, nullptr);
}
