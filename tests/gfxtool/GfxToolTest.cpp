#include "tools/gfxtool/GfxTool.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "file/TempDir.h"
#include "graphics/PngTestSupport.h"
#include "mt/graphics/PNGImageLoader.h"
#include "mt/graphics/Texture.h"
#include "mt/stream/MemoryStream.h"
#include "support/ToolRun.h"

namespace {

using Result = testsupport::ToolResult;

Result runTool(const std::vector<std::string>& args) {
    return testsupport::runCaptured(gfxtool::run, args);
}

// A 4 x 6 RGBA picture with transparent (all zero), partly transparent and opaque pixels.
std::vector<std::vector<uint8_t>> pictureRows() {
    std::vector<std::vector<uint8_t>> rows;
    for (int y = 0; y < 6; ++y) {
        std::vector<uint8_t> row;
        for (int x = 0; x < 4; ++x) {
            const int kind = (x + 2 * y) % 3;
            const uint8_t a = kind == 0 ? 0 : kind == 1 ? 0x80 : 0xFF;
            for (uint8_t v : {static_cast<uint8_t>(a ? 17 * x + 16 : 0), static_cast<uint8_t>(a ? 34 * y : 0),
                              static_cast<uint8_t>(a ? 0xC3 : 0), a})
                row.push_back(v);
        }
        rows.push_back(row);
    }
    return rows;
}

// The RGBA bytes of a PNG file, rows one after the other.
std::vector<uint8_t> decode(const std::string& png, int& width, int& height) {
    std::vector<uint8_t> bytes(png.begin(), png.end());
    mt::MemoryStream in(bytes.data(), static_cast<int32_t>(bytes.size()), mt::STREAM_NOT_OWNER);
    mt::graphics::PNGImageLoader loader;
    mt::graphics::Texture* texture = loader.load(&in);
    if (!texture)
        return {};
    width = texture->getSize().width;
    height = texture->getSize().height;
    const uint8_t* pixels = static_cast<const uint8_t*>(texture->lock()->pixels);
    std::vector<uint8_t> rgba(pixels, pixels + width * height * 4);
    texture->release(true);
    return rgba;
}

class GfxToolTest : public testing::Test {
  protected:
    void SetUp() override {
        pngtest::PngLayout layout;
        layout.width = 4;
        layout.height = 6;
        layout.colorType = PNG_COLOR_TYPE_RGBA;
        const std::vector<uint8_t> png = pngtest::writePng(layout, pictureRows());
        folder.write("in.png", std::string(png.begin(), png.end()));
        for (const auto& row : pictureRows())
            expected.insert(expected.end(), row.begin(), row.end());
    }
    std::string path(const std::string& name) { return folder.path(name); }

    TempDir folder;
    std::vector<uint8_t> expected;
};

}  // namespace

TEST_F(GfxToolTest, PicturesRoundTripThroughEveryStorage) {
    for (const std::string storage : {"raw", "plain", "alpha"}) {
        SCOPED_TRACE(storage);
        Result made = runTool({"frompng", path("in.png"), path("t.gfx"), "--storage", storage, "--format",
                               "2", "--frames", "2"});
        ASSERT_EQ(made.code, gfxtool::EXIT_OK) << made.err;
        EXPECT_NE(made.out.find("4 x 3, 2 frame(s)"), std::string::npos) << made.out;
        Result back = runTool({"topng", path("t.gfx"), path("out.png")});
        ASSERT_EQ(back.code, gfxtool::EXIT_OK) << back.err;
        int width = 0, height = 0;
        EXPECT_EQ(decode(folder.read("out.png"), width, height), expected);
        EXPECT_EQ(height, 6);

        // One frame alone: the lower half of the picture.
        ASSERT_EQ(runTool({"topng", path("t.gfx"), path("one.png"), "--frame", "1"}).code, gfxtool::EXIT_OK);
        EXPECT_EQ(decode(folder.read("one.png"), width, height),
                  std::vector<uint8_t>(expected.begin() + 48, expected.end()));
        EXPECT_EQ(height, 3);
    }

    // ARGB 4444 keeps the top four bits of each channel.
    ASSERT_EQ(
        runTool({"frompng", path("in.png"), path("q.gfx"), "--storage", "alpha", "--format", "argb4444"})
            .code,
        gfxtool::EXIT_OK);
    ASSERT_EQ(runTool({"topng", path("q.gfx"), path("q.png")}).code, gfxtool::EXIT_OK);
    int width = 0, height = 0;
    const std::vector<uint8_t> quantized = decode(folder.read("q.png"), width, height);
    ASSERT_EQ(quantized.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(quantized[i], (expected[i] >> 4) * 17) << i;
}

TEST_F(GfxToolTest, InfoAndErrors) {
    ASSERT_EQ(runTool({"frompng", path("in.png"), path("t.gfx"), "--storage", "plain", "--format", "3",
                       "--frames", "3"})
                  .code,
              gfxtool::EXIT_OK);
    Result info = runTool({"info", path("t.gfx")});
    EXPECT_EQ(info.code, gfxtool::EXIT_OK);
    EXPECT_NE(info.out.find("3 (RGB_565)"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("1 (PACKED PLAIN)"), std::string::npos);
    EXPECT_NE(info.out.find("frame 2:"), std::string::npos);
    EXPECT_NE(info.out.find("loads:          yes"), std::string::npos);

    EXPECT_EQ(runTool({}).code, gfxtool::EXIT_USAGE);
    EXPECT_EQ(runTool({"--help"}).out, gfxtool::usage());
    EXPECT_EQ(runTool({"frompng", path("in.png"), path("x.gfx"), "--storage", "zip", "--format", "2"}).code,
              gfxtool::EXIT_USAGE);
    EXPECT_EQ(runTool({"frompng", path("in.png"), path("x.gfx"), "--storage", "plain", "--format", "7"}).code,
              gfxtool::EXIT_USAGE);
    EXPECT_EQ(runTool({"frompng", path("in.png"), path("x.gfx"), "--storage", "raw", "--format", "2",
                       "--frames", "4"})
                  .code,
              gfxtool::EXIT_FAILED);
    EXPECT_EQ(runTool({"frompng", path("none.png"), path("x.gfx"), "--storage", "raw", "--format", "2"}).code,
              gfxtool::EXIT_FAILED);
    EXPECT_EQ(runTool({"topng", path("t.gfx"), path("x.png"), "--frame", "3"}).code, gfxtool::EXIT_FAILED);
    folder.write("bad.gfx", std::string(40, '\x7F'));
    Result bad = runTool({"info", path("bad.gfx")});
    EXPECT_EQ(bad.code, gfxtool::EXIT_FAILED);
    EXPECT_NE(bad.out.find("loads:          no"), std::string::npos);
    EXPECT_FALSE(folder.exists("x.gfx"));
}
