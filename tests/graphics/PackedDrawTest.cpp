#include <gtest/gtest.h>

#include <random>

#include "graphics/GfxTestSupport.h"
#include "mt/graphics/ColorTable.h"
#include "mt/graphics/DrawTarget.h"
#include "mt/graphics/TextureDataSWPackedAlpha.h"
#include "mt/graphics/TextureDataSWRaw.h"
#include "mt/graphics/TexturePacker.h"

using namespace mt::graphics;
using namespace gfxtest;

namespace {

constexpr int W = 9, H = 7, FRAMES = 3;
constexpr int DEST_W = 24, DEST_H = 20;

// Frames of ARGB 8888 pixels, fully transparent ones 0; partly transparent ones only when asked for.
std::vector<uint32_t> picture(uint32_t seed, bool partial) {
    std::mt19937 random(seed);
    std::vector<uint32_t> pixels(W * H * FRAMES);
    for (uint32_t& p : pixels) {
        const uint32_t kind = random() % (partial ? 3 : 2);
        p = kind == 0 ? 0 : (kind == 1 ? 0xFF000000u : (1 + random() % 254) << 24) | (random() & 0xFFFFFF);
    }
    return pixels;
}

std::vector<uint32_t> mirrored(const std::vector<uint32_t>& pixels) {
    std::vector<uint32_t> out(pixels.size());
    for (size_t row = 0; row < pixels.size() / W; ++row)
        for (int x = 0; x < W; ++x)
            out[row * W + x] = pixels[row * W + (W - 1 - x)];
    return out;
}

Texture* rawTexture(const std::vector<uint32_t>& pixels, int format) {
    Texture* texture = new Texture(TEXTURE_FROM_FILE, "", Size{W, H}, format, nullptr, 0, 1);
    auto* data = new TextureDataSWRaw(texture);
    const int bpp = getBytesPerPixel(format);
    uint8_t* level = static_cast<uint8_t*>(data->allocateLevel0(static_cast<int>(pixels.size()) * bpp));
    data->setLevel0(level, W);
    for (size_t i = 0; i < pixels.size(); ++i)
        storePixel(
            level + i * bpp, bpp,
            convertPixel(pixels[i], makePixelFormatInfo(ARGB_8888), makePixelFormatInfo(format), false));
    int32_t* offsets = data->createFrameTable(FRAMES);
    for (int f = 0; f < FRAMES; ++f)
        offsets[f] = f * W * H * bpp;
    return texture;
}

Texture* packedTexture(const std::vector<uint32_t>& pixels, int format, int storage) {
    std::vector<uint8_t> bytes;
    std::vector<int32_t> offsets;
    for (int f = 0; f < FRAMES; ++f) {
        offsets.push_back(static_cast<int32_t>(bytes.size()));
        PixelRect rect{reinterpret_cast<uint8_t*>(const_cast<uint32_t*>(pixels.data())) + f * W * H * 4,
                       nullptr, W, H, W};
        EXPECT_TRUE(packFrame(rect, ARGB_8888, format, storage, false, bytes));
    }
    Texture* texture = new Texture(TEXTURE_FROM_FILE, "", Size{W, H}, format, nullptr, 0, 1);
    TextureDataSW* data = storage == STORAGE_PACKED_PLAIN ? new TextureDataSWPackedPlain(texture)
                                                          : new TextureDataSWPackedAlpha(texture);
    std::memcpy(data->allocateLevel0(static_cast<int>(bytes.size())), bytes.data(), bytes.size());
    std::copy(offsets.begin(), offsets.end(), data->createFrameTable(FRAMES));
    return texture;
}

DrawTarget clip(int left, int top, int right, int bottom) {
    DrawTarget target;
    target.clipLeft = left;
    target.clipTop = top;
    target.clipRight = right;
    target.clipBottom = bottom;
    return target;
}

struct Case {
    int format;
    int storage;
    int mode;
    int alpha;
    bool partial;         // the picture has partly transparent pixels
    uint32_t background;  // mask applied to a random background
};

// Draws the packed and the raw texture at many positions, clipped and whole, into equal backgrounds and
// expects equal results.
void expectSameAsRaw(const Case& c, bool mirror) {
    SCOPED_TRACE(testing::Message() << "format " << c.format << " storage " << c.storage << " mode " << c.mode
                                    << " alpha " << c.alpha << (mirror ? " mirrored" : ""));
    const std::vector<uint32_t> pixels =
        picture(static_cast<uint32_t>(c.format * 100 + c.storage * 10 + c.mode), c.partial);
    Texture* packed = packedTexture(pixels, c.format, c.storage);
    Texture* raw = rawTexture(mirror ? mirrored(pixels) : pixels, c.format);
    packed->getData()->setMirrored(mirror);
    packed->getData()->setBlendMode(c.mode);
    raw->getData()->setBlendMode(c.mode);
    const int bpp = getBytesPerPixel(c.format);
    const int pitch = DEST_W;
    std::mt19937 random(99);
    const DrawTarget clips[] = {clip(0, 0, DEST_W, DEST_H), clip(5, 4, 17, 13), clip(3, 0, 4, DEST_H)};
    const int positions[][2] = {{0, 0}, {3, 2}, {-4, -3}, {20, 15}, {-20, 0}, {10, -7}, {15, 13}, {2, 30}};
    for (const DrawTarget& target : clips) {
        for (const auto& at : positions) {
            for (int frame : {0, 2, 5}) {
                std::vector<uint8_t> background(DEST_W * DEST_H * bpp);
                for (size_t i = 0; i < background.size(); i += bpp)
                    storePixel(background.data() + i, bpp, static_cast<uint32_t>(random()) & c.background);
                std::vector<uint8_t> fromPacked = background, fromRaw = background;
                packed->getData()->draw(&target, fromPacked.data(), &pitch, at[0], at[1], c.alpha, frame);
                raw->getData()->draw(&target, fromRaw.data(), &pitch, at[0], at[1], c.alpha, frame);
                ASSERT_EQ(fromPacked, fromRaw)
                    << "at " << at[0] << "," << at[1] << " clip " << target.clipLeft << "," << target.clipTop
                    << " frame " << frame;
            }
        }
    }
    packed->release(true);
    raw->release(true);
}

}  // namespace

TEST(PackedDraw, MatchesRawDrawingPixelForPixel) {
    // Raw drawing writes fully transparent pixels as well, so the cases choose backgrounds on which that
    // changes nothing: 0 for copies, any for source-alpha blends, colours without alpha for additive draws.
    // (At constant alpha 255, packed mode 2 blends the alpha channel too, where raw drawing keeps it.)
    const Case cases[] = {
        {ARGB_8888, STORAGE_PACKED_PLAIN, 0, 255, true, 0},
        {ARGB_8888, STORAGE_PACKED_PLAIN, 1, 100, true, 0},
        {ARGB_8888, STORAGE_PACKED_PLAIN, 2, 160, true, 0xFFFFFFFF},
        {ARGB_8888, STORAGE_PACKED_PLAIN, 3, 200, true, 0x00FFFFFF},
        {ARGB_8888, STORAGE_PACKED_ALPHA, 0, 255, false, 0},
        {ARGB_8888, STORAGE_PACKED_ALPHA, 2, 90, true, 0xFFFFFFFF},
        {ARGB_8888, STORAGE_PACKED_ALPHA, 3, 255, true, 0x00FFFFFF},
        {ARGB_4444, STORAGE_PACKED_PLAIN, 0, 255, true, 0},
        {ARGB_4444, STORAGE_PACKED_PLAIN, 1, 128, true, 0},
        {ARGB_4444, STORAGE_PACKED_PLAIN, 3, 255, true, 0x0FFF},
        {ARGB_4444, STORAGE_PACKED_ALPHA, 0, 255, false, 0},
        {ARGB_4444, STORAGE_PACKED_ALPHA, 3, 200, true, 0x0FFF},
        {RGB_565, STORAGE_PACKED_PLAIN, 0, 255, false, 0},
        {RGB_565, STORAGE_PACKED_ALPHA, 0, 255, false, 0},
    };
    for (const Case& c : cases)
        expectSameAsRaw(c, false);
    // Mirrored drawing matches the raw drawing of the mirrored picture.
    expectSameAsRaw(cases[5], true);
    expectSameAsRaw(cases[7], true);
    expectSameAsRaw(cases[13], true);
}

TEST(PackedDraw, BlendRulesOfTheRunKinds) {
    DrawTarget target = clip(0, 0, 1, 1);
    const int pitch = 1;
    auto draw32 = [&](Texture* texture, uint32_t under, int alpha) {
        uint32_t dest = under;
        texture->getData()->draw(&target, &dest, &pitch, 0, 0, alpha, 0);
        return dest;
    };
    auto draw16 = [&](Texture* texture, uint16_t under, int alpha) {
        uint16_t dest = under;
        texture->getData()->draw(&target, &dest, &pitch, 0, 0, alpha, 0);
        return dest;
    };
    // ARGB 8888 packed alpha: a partly transparent pixel blends by its alpha even in mode 0; the
    // destination keeps its alpha.
    Texture* texture = readBytes(
        gfxFile(ARGB_8888, STORAGE_PACKED_ALPHA, 1, 1, {cat({words32({0, 4, 0x80FF0000, 0})})}), ARGB_8888);
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(draw32(texture, 0xFF0000FF, 255), 0xFF7F007Fu);

    // Mode 2 blends by the source alpha on every channel, alpha too, also at constant alpha 255.
    texture->getData()->setBlendMode(2);
    EXPECT_EQ(draw32(texture, 0xFF0000FF, 255), 0xBF7F007Fu);
    texture->release(true);

    // Mode 4: modulated copy with the modulation colour, brightened by the constant alpha.
    texture =
        readBytes(gfxFile(ARGB_8888, STORAGE_PACKED_PLAIN, 1, 1, {words32({0, 4, 0xFF804020})}), ARGB_8888);
    ASSERT_NE(texture, nullptr);
    texture->getData()->setColorModulation(0, 0xFF8000, 0);
    texture->getData()->setBlendMode(4);
    EXPECT_EQ(draw32(texture, 0x12345678, 10), 0x00862301u);
    texture->release(true);

    // ARGB 4444 packed alpha: the partly transparent run goes through the blend table by its own alpha.
    texture = readBytes(gfxFile(ARGB_4444, STORAGE_PACKED_ALPHA, 1, 1,
                                {cat({words32({0, 2}), words16({0x8F00}), words32({0})})}),
                        ARGB_4444);
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(draw16(texture, 0x00F0, 255), 0x0870);
    texture->release(true);

    // ARGB 4444 packed plain keeps partly transparent pixels in its runs: mode 2 blends them by their own
    // alpha (8 of 15 here), not opaque.
    texture =
        readBytes(gfxFile(ARGB_4444, STORAGE_PACKED_PLAIN, 1, 1, {cat({words32({0, 2}), words16({0x8F00})})}),
                  ARGB_4444);
    ASSERT_NE(texture, nullptr);
    texture->getData()->setBlendMode(2);
    EXPECT_EQ(draw16(texture, 0x00F0, 255), 0x0870);
    texture->release(true);

    // RGB 565 packed alpha: partly transparent pixels are held as ARGB 4444 and blended onto RGB 565; mode 1
    // blends opaque pixels by the constant alpha on each field.
    texture = readBytes(gfxFile(RGB_565, STORAGE_PACKED_ALPHA, 2, 1,
                                {cat({words32({0, 2}), words16({0x8F00}), words32({2}), words16({0xF800})})}),
                        RGB_565);
    ASSERT_NE(texture, nullptr);
    const uint16_t under[2] = {0x001F, 0x001F};
    uint16_t dest[2] = {under[0], under[1]};
    const int pitch2 = 2;
    DrawTarget wide = clip(0, 0, 2, 1);
    texture->getData()->setBlendMode(1);
    texture->getData()->draw(&wide, dest, &pitch2, 0, 0, 128, 0);
    EXPECT_EQ(dest[0], 0x4016);  // alpha 8 x 17 = 136, times 128 / 256: 68
    EXPECT_EQ(dest[1], 0x780F);
    // Mode 1 blends by the constant alpha also at 255: d + (s - d) x 255 / 256 on each field.
    dest[0] = under[0];
    dest[1] = under[1];
    texture->getData()->draw(&wide, dest, &pitch2, 0, 0, 255, 0);
    EXPECT_EQ(dest[1], 0xF000);
    texture->getData()->setBlendMode(0);
    dest[0] = under[0];
    texture->getData()->draw(&wide, dest, &pitch2, 0, 0, 128, 0);
    EXPECT_EQ(dest[0], 0x800E);
    EXPECT_EQ(dest[1], 0xF800);
    texture->release(true);
}

TEST(PackedDraw, ColourIndexedPixelsDrawTheirTableEntries) {
    DrawTarget target = clip(0, 0, 2, 1);
    const int pitch = 2;
    ColorTable table32;
    table32.count = 2;
    table32.format = ARGB_8888;
    table32.entries = std::malloc(8);
    static_cast<uint32_t*>(table32.entries)[1] = 0xFFABCDEF;
    Texture* texture = readBytes(
        gfxFile(ARGB_8888, STORAGE_PACKED_PLAIN, 2, 1, {words32({0, 8, 0xFF000001, 0xFF000007})}, 1),
        ARGB_8888);
    ASSERT_NE(texture, nullptr);
    sw(texture)->setColorTable(&table32);
    uint32_t dest32[2] = {0, 0};
    texture->getData()->draw(&target, dest32, &pitch, 0, 0, 255, 0);
    EXPECT_EQ(dest32[0], 0xFFABCDEFu);
    EXPECT_EQ(dest32[1], 0xFF000007u);  // outside the table: the pixel itself
    sw(texture)->setColorTable(nullptr);
    texture->getData()->draw(&target, dest32, &pitch, 0, 0, 255, 0);
    EXPECT_EQ(dest32[0], 0xFF000001u);
    texture->release(true);

    // A partly transparent colour-indexed pixel blends its entry's colour by its own alpha (0x80), not the
    // entry's; only the low 12 bits index the table. Mode 2 leaves alpha 0.
    texture =
        readBytes(gfxFile(ARGB_8888, STORAGE_PACKED_ALPHA, 1, 1, {cat({words32({0, 4, 0x80001001, 0})})}, 1),
                  ARGB_8888);
    ASSERT_NE(texture, nullptr);
    static_cast<uint32_t*>(table32.entries)[1] = 0xFF00FF00;
    sw(texture)->setColorTable(&table32);
    dest32[0] = 0xFF0000FF;
    texture->getData()->draw(&target, dest32, &pitch, 0, 0, 255, 0);
    EXPECT_EQ(dest32[0], 0xFF007F7Fu);
    texture->getData()->setBlendMode(2);
    dest32[0] = 0xFF0000FF;
    texture->getData()->draw(&target, dest32, &pitch, 0, 0, 255, 0);
    EXPECT_EQ(dest32[0], 0x00007F7Fu);
    texture->release(true);

    // 16-bit tables hold entries of the texture's format; ARGB 4444 pixels keep their own alpha.
    ColorTable table16;
    table16.count = 3;
    table16.format = ARGB_4444;
    table16.entries = std::calloc(3, 2);
    static_cast<uint16_t*>(table16.entries)[2] = 0xF123;
    texture = readBytes(gfxFile(ARGB_4444, STORAGE_PACKED_PLAIN, 2, 1,
                                {cat({words32({0, 4}), words16({0xF002, 0x8002})})}, 1),
                        ARGB_4444);
    ASSERT_NE(texture, nullptr);
    sw(texture)->setColorTable(&table16);
    uint16_t dest16[2] = {0, 0};
    texture->getData()->draw(&target, dest16, &pitch, 0, 0, 255, 0);
    EXPECT_EQ(dest16[0], 0xF123);
    EXPECT_EQ(dest16[1], 0x8123);
    texture->release(true);

    table16.format = RGB_565;
    static_cast<uint16_t*>(table16.entries)[1] = 0x07E0;
    texture = readBytes(
        gfxFile(RGB_565, STORAGE_PACKED_PLAIN, 1, 1, {cat({words32({0, 2}), words16({0xF001})})}, 1),
        RGB_565);
    ASSERT_NE(texture, nullptr);
    sw(texture)->setColorTable(&table16);
    dest16[0] = 0;
    texture->getData()->draw(&target, dest16, &pitch, 0, 0, 255, 0);
    EXPECT_EQ(dest16[0], 0x07E0);
    texture->release(true);
}

TEST(PackedDraw, DamagedDataNeverDrawsOutsideTheFrame) {
    std::mt19937 random(5);
    for (int format : {ARGB_8888, RGB_565, ARGB_4444}) {
        for (int storage : {STORAGE_PACKED_PLAIN, STORAGE_PACKED_ALPHA}) {
            Texture* texture = packedTexture(picture(3, true), format, storage);
            auto* data = sw(texture);
            uint8_t* level = static_cast<uint8_t*>(data->lock()->pixels);
            const std::vector<uint8_t> original(level, level + data->getDataSize());
            const int bpp = getBytesPerPixel(format);
            const int pitch = DEST_W;
            const DrawTarget target = clip(0, 0, DEST_W, DEST_H);
            for (int round = 0; round < 300; ++round) {
                std::copy(original.begin(), original.end(), level);
                for (int n = 0; n < 1 + round % 4; ++n) {
                    const size_t at = random() % original.size();
                    level[at] = round % 3 == 0 ? static_cast<uint8_t>(random())
                                               : static_cast<uint8_t>(level[at] ^ 0x80);
                }
                data->setMirrored(round % 2 == 1);
                data->setBlendMode(round % 5);
                std::vector<uint8_t> dest(DEST_W * DEST_H * bpp, 0xA5);
                const int x = 6, y = 5;
                texture->getData()->draw(&target, dest.data(), &pitch, x, y, 200, round % FRAMES);
                for (int dy = 0; dy < DEST_H; ++dy)
                    for (int dx = 0; dx < DEST_W; ++dx)
                        if (dx < x || dx >= x + W || dy < y || dy >= y + H) {
                            for (int b = 0; b < bpp; ++b)
                                ASSERT_EQ(dest[(dy * DEST_W + dx) * bpp + b], 0xA5) << dx << "," << dy;
                        }
            }
            texture->release(true);
        }
    }
}
