#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "mt/core/ServiceRegistry.h"
#include "mt/graphics/ColorTable.h"
#include "mt/graphics/DrawTarget.h"
#include "mt/graphics/SineTable.h"
#include "mt/graphics/Texture.h"
#include "mt/graphics/TextureDataSWRaw.h"
#include "mt/graphics/TextureDataSWRawAdv.h"

using namespace mt::graphics;

namespace {

constexpr int DEST = 10;

DrawTarget fullTarget() {
    DrawTarget target;
    target.clipLeft = 0;
    target.clipTop = 0;
    target.clipRight = DEST;
    target.clipBottom = DEST;
    return target;
}

// A width x height ARGB_8888 texture whose pixel (x, y) is 0xFF000000 | (y << 8) | x, plus one.
Texture* numbered(int width, int height, int format = ARGB_8888) {
    Texture* texture = new Texture(TEXTURE_IN_MEMORY, "", Size{width, height}, format, nullptr, 0, 1);
    new TextureDataSWRaw(texture);
    uint8_t* pixels = static_cast<uint8_t*>(texture->lock()->pixels);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            if (format == ARGB_8888) {
                const uint32_t v = 0xFF000000u | static_cast<uint32_t>(y) << 8 | static_cast<uint32_t>(x + 1);
                std::memcpy(pixels + (y * width + x) * 4, &v, 4);
            } else {
                const uint16_t v = static_cast<uint16_t>(0xF000 | y << 4 | (x + 1));
                std::memcpy(pixels + (y * width + x) * 2, &v, 2);
            }
        }
    }
    return texture;
}

}  // namespace

TEST(TextureDraw, CopiesTheVisiblePartOfAFrame) {
    Texture* texture = numbered(4, 3);
    std::vector<uint32_t> dest(DEST * DEST, 0x11111111);
    const int pitch = DEST;
    DrawTarget target = fullTarget();
    texture->getData()->draw(&target, dest.data(), &pitch, -1, 8, 255, 0);
    // Visible: source columns 1-3 and rows 0-1, at destination x 0-2, y 8-9.
    EXPECT_EQ(dest[8 * DEST + 0], 0xFF000002u);
    EXPECT_EQ(dest[9 * DEST + 2], 0xFF000104u);
    EXPECT_EQ(dest[8 * DEST + 3], 0x11111111u);
    EXPECT_EQ(dest[7 * DEST + 0], 0x11111111u);

    // A narrower clip rectangle; a rectangle wholly outside draws nothing.
    std::fill(dest.begin(), dest.end(), 0u);
    target.clipLeft = 2;
    target.clipRight = 3;
    texture->getData()->draw(&target, dest.data(), &pitch, 0, 0, 255, 0);
    for (int y = 0; y < DEST; ++y)
        for (int x = 0; x < DEST; ++x)
            EXPECT_EQ(dest[y * DEST + x] != 0, x == 2 && y < 3) << x << "," << y;
    std::fill(dest.begin(), dest.end(), 0u);
    target = fullTarget();
    texture->getData()->draw(&target, dest.data(), &pitch, 10, 0, 255, 0);
    texture->getData()->draw(&target, dest.data(), &pitch, -4, -3, 255, 0);
    EXPECT_EQ(std::count(dest.begin(), dest.end(), 0u), DEST * DEST);
    texture->release(true);
}

TEST(TextureDraw, FramesFollowTheOffsetTableAndBadFramesAreSafe) {
    Texture* texture = numbered(2, 2);
    TextureDataSWRaw* data = static_cast<TextureDataSWRaw*>(texture->getData());
    // Two 2 x 2 frames one after the other in level 0; frame 1 is numbered from 0xA1.
    uint32_t* pixels = static_cast<uint32_t*>(data->allocateLevel0(2 * 2 * 4 * 2));
    ASSERT_NE(pixels, nullptr);
    for (uint32_t i = 0; i < 8; ++i)
        pixels[i] = 0xFF000000u | (i < 4 ? i + 1 : 0xA1 + i - 4);
    int32_t* offsets = data->createFrameTable(2);
    offsets[1] = 16;
    std::vector<uint32_t> dest(DEST * DEST, 0);
    const int pitch = DEST;
    const DrawTarget target = fullTarget();
    data->draw(&target, dest.data(), &pitch, 0, 0, 255, 1);
    EXPECT_EQ(dest[0], 0xFF0000A1u);
    EXPECT_EQ(dest[DEST + 1], 0xFF0000A4u);
    data->draw(&target, dest.data(), &pitch, 0, 0, 255, 7);  // out of range: frame 0
    EXPECT_EQ(dest[0], 0xFF000001u);
    EXPECT_EQ(dest[DEST + 1], 0xFF000004u);
    // A frame offset that would run past level 0 draws nothing.
    offsets[1] = 20;
    std::fill(dest.begin(), dest.end(), 0u);
    data->draw(&target, dest.data(), &pitch, 0, 0, 255, 1);
    EXPECT_EQ(std::count(dest.begin(), dest.end(), 0u), DEST * DEST);
    texture->release(true);
}

TEST(TextureDraw, ThirtyTwoBitBlendModes) {
    Texture* texture = numbered(1, 1);
    TextureDataSWRaw* data = static_cast<TextureDataSWRaw*>(texture->getData());
    uint32_t* source = static_cast<uint32_t*>(texture->lock()->pixels);
    *source = 0x80C86432;  // a 128, r 200, g 100, b 50
    const int pitch = 1;
    const DrawTarget target = fullTarget();
    uint32_t dest;

    data->setBlendMode(1);
    dest = 0xFF102030;
    data->draw(&target, &dest, &pitch, 0, 0, 255, 0);
    EXPECT_EQ(dest, 0x80C86432u) << "constant alpha 255 copies";
    dest = 0xFF102030;
    data->draw(&target, &dest, &pitch, 0, 0, 128, 0);
    // r: 16 + (200 - 16) * 128 / 256 = 108; g: 32 + 68 * 0.5 = 66; b: 48 + 1 = 49; alpha 0
    EXPECT_EQ(dest, 0x006C4231u);
    EXPECT_EQ(data->getConstantAlpha(), 128);

    data->setBlendMode(2);
    dest = 0x40102030;
    data->draw(&target, &dest, &pitch, 0, 0, 255, 0);
    EXPECT_EQ(dest, 0x406C4231u) << "source alpha 128 blends colour, destination alpha stays";
    dest = 0x40102030;
    data->draw(&target, &dest, &pitch, 0, 0, 128, 0);
    // a = 128 * 128 / 256 = 64: r 16 + 184 * 64 / 256 = 62, g 32 + 17 = 49, b 48 + 0 = 48, alpha 64 + 16 = 80
    EXPECT_EQ(dest, 0x503E3130u);

    data->setBlendMode(3);
    dest = 0xFF102030;
    data->draw(&target, &dest, &pitch, 0, 0, 255, 0);
    // additive with the default table at alpha 255: channel sums, capped
    EXPECT_EQ(dest, 0x00D88462u);
    dest = 0xFF80FF30;
    data->draw(&target, &dest, &pitch, 0, 0, 255, 0);
    EXPECT_EQ(dest, 0x00FFFF62u);
    data->draw(&target, &dest, &pitch, 0, 0, 1000, 0);  // alpha beyond the table is clamped, not overrun
    texture->release(true);
}

TEST(TextureDraw, SixteenBitBlendThroughTheTable) {
    Texture* texture = numbered(1, 1, ARGB_4444);
    TextureDataSWRaw* data = static_cast<TextureDataSWRaw*>(texture->getData());
    *static_cast<uint16_t*>(texture->lock()->pixels) = 0xFF84;
    const int pitch = 1;
    DrawTarget target = fullTarget();
    uint16_t dest = 0x1234;
    data->draw(&target, &dest, &pitch, 0, 0, 255, 0);
    EXPECT_EQ(dest, 0xFF84) << "alpha 255 / 16 = 15 copies";
    // Alpha 128 / 16 = 8: table[8 << 12 | 0xF84] + table[7 << 12 | 0x234] with a table of our own.
    std::vector<uint16_t> table(65536);
    for (size_t i = 0; i < table.size(); ++i)
        table[i] = static_cast<uint16_t>(i >> 12);
    target.blendTable16 = table.data();
    dest = 0x1234;
    data->draw(&target, &dest, &pitch, 0, 0, 128, 0);
    EXPECT_EQ(dest, 8 + 7);

    data->setBlendMode(3);
    dest = 0x0F2A;
    data->draw(&target, &dest, &pitch, 0, 0, 255, 0);
    EXPECT_EQ(dest, 0x0FAE) << "additive per nibble, capped at 15, alpha nibble 0";
    texture->release(true);
}

TEST(TextureDraw, ColourIndexedPixelsDrawTheirTableEntries) {
    Texture* texture = numbered(2, 1);
    TextureDataSWRaw* data = static_cast<TextureDataSWRaw*>(texture->getData());
    ColorTable table;
    table.count = 2;
    table.format = ARGB_8888;
    table.entries = std::malloc(8);
    static_cast<uint32_t*>(table.entries)[0] = 0xFF0000FF;
    static_cast<uint32_t*>(table.entries)[1] = 0xFF00FF00;
    data->setColorTable(&table);
    data->setColorIndexed(true);
    uint32_t* pixels = static_cast<uint32_t*>(texture->lock()->pixels);
    pixels[0] = 0xFF000001;
    pixels[1] = 0xFF000FFF;  // index past the table: drawn as it is
    uint32_t dest[2] = {};
    const int pitch = 2;
    const DrawTarget target = fullTarget();
    data->draw(&target, dest, &pitch, 0, 0, 255, 0);
    EXPECT_EQ(dest[0], 0xFF00FF00u);
    EXPECT_EQ(dest[1], 0xFF000FFFu);

    // Blending modes take the colour from the entry and the alpha from the pixel, whose low 12 bits alone
    // are the index: half transparent over blue gives half green, half blue.
    pixels[0] = 0x80001001;
    data->setBlendMode(2);
    dest[0] = 0xFF0000FF;
    data->draw(&target, dest, &pitch, 0, 0, 255, 0);
    EXPECT_EQ(dest[0], 0xFF007F7Fu);
    data->setBlendMode(1);
    data->draw(&target, dest, &pitch, 0, 0, 255, 0);
    EXPECT_EQ(dest[0], 0x8000FF00u) << "a copy at constant alpha 255 keeps the pixel's alpha";
    data->setColorTable(nullptr);
    texture->release(true);
}

TEST(TextureDraw, StretchedDrawSamplesNearestAndSkipsTransparentPixels) {
    Texture* texture = numbered(2, 2);
    TextureDataSWRaw* data = static_cast<TextureDataSWRaw*>(texture->getData());
    uint32_t* pixels = static_cast<uint32_t*>(texture->lock()->pixels);
    pixels[3] = 0x00ABCDEF;  // transparent
    texture->setSourceSize(4 << 16, 4 << 16);
    EXPECT_EQ(data->getSourceSize().width, 4 << 16);
    std::vector<uint32_t> dest(DEST * DEST, 7);
    const int pitch = DEST;
    DrawTarget target = fullTarget();
    target.clipLeft = 2;  // clip the first destination column
    data->draw(&target, dest.data(), &pitch, 1, 1, 255, 0);
    EXPECT_EQ(dest[1 * DEST + 1], 7u) << "clipped";
    EXPECT_EQ(dest[1 * DEST + 2], 0xFF000001u);
    EXPECT_EQ(dest[1 * DEST + 3], 0xFF000002u);
    EXPECT_EQ(dest[2 * DEST + 4], 0xFF000002u);
    EXPECT_EQ(dest[3 * DEST + 2], 0xFF000101u);
    EXPECT_EQ(dest[4 * DEST + 4], 7u) << "transparent source pixel skipped";
    EXPECT_EQ(dest[5 * DEST + 2], 7u) << "below the drawn 4 x 4";
    data->setSourceSize(0, 0);
    EXPECT_EQ(data->getSourceSize().width, 2 << 16);
    texture->release(true);
}

TEST(TextureDraw, ColourModulationTintsInPlaceAndResetsTheClip) {
    Texture* texture = numbered(1, 1);
    TextureDataSWRaw* data = static_cast<TextureDataSWRaw*>(texture->getData());
    uint32_t* pixel = static_cast<uint32_t*>(texture->lock()->pixels);
    *pixel = 0x7F804020;  // r 128, g 64, b 32
    data->setColorModulation(0, 0x00FF8000, 10);
    // k = min(255, (128 * 64 * 32) >> 16 + 10) = 14
    // r: 128 * 255 >> 8 = 127, + 128 * 14 >> 8 = 7 -> 134; g: 64 * 128 >> 8 = 32, + 3 -> 35; b: 0 + 1 -> 1
    EXPECT_EQ(*pixel, 0x7F862301u);
    EXPECT_EQ(data->getModulationColour(), 0x00FF8000u);
    EXPECT_EQ(data->getConstantAlpha(), 10);
    *pixel = 0x00FFFFFF;
    data->setColorModulation(1, 0x00FF8000, 10);
    EXPECT_EQ(*pixel, 0x00FFFFFFu) << "only mode 0 rewrites pixels";
    data->setColorModulation(0, 0, -1000);
    EXPECT_EQ(*pixel, 0u) << "a negative amount cannot wrap around";
    texture->release(true);
}

class RotatedDraw : public ::testing::Test {
  protected:
    void SetUp() override {
        previous = mt::g_serviceRegistry;
        mt::g_serviceRegistry = &registry;
        sines = SineTable::create(256);
        registry.registerService(sines, mt::SERVICE_SINE_TABLE);
    }
    void TearDown() override {
        mt::g_serviceRegistry = previous;
        delete sines;
    }

    // A 3 x 2 picture in the centre of its square, numbered like `numbered`.
    Texture* picture() {
        Texture* texture = new Texture(TEXTURE_FROM_FILE, "", Size{3, 2}, ARGB_8888, nullptr, 0, 1);
        TextureDataSWRawAdv* data = new TextureDataSWRawAdv(texture);
        uint32_t* square = static_cast<uint32_t*>(texture->lock()->pixels);
        const int side = data->getSquareSide();
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 3; ++x)
                square[((side - 2) / 2 + y) * side + (side - 3) / 2 + x] = 0xFF000000u | y << 8 | (x + 1);
        return texture;
    }

    mt::ServiceRegistry registry;
    mt::ServiceRegistry* previous = nullptr;
    SineTable* sines = nullptr;
};

TEST_F(RotatedDraw, SquareSidesFollowTheLargerSide) {
    EXPECT_EQ(TextureDataSWRawAdv::squareSideFor(24, 3), 32);
    EXPECT_EQ(TextureDataSWRawAdv::squareSideFor(3, 25), 64);
    EXPECT_EQ(TextureDataSWRawAdv::squareSideFor(104, 1), 128);
    EXPECT_EQ(TextureDataSWRawAdv::squareSideFor(208, 1), 256);
    EXPECT_EQ(TextureDataSWRawAdv::squareSideFor(209, 1), 512);
    EXPECT_EQ(TextureDataSWRawAdv::squareSideFor(512, 512), 512);
    EXPECT_EQ(TextureDataSWRawAdv::squareSideFor(513, 1), 1024) << "larger pictures still fit their square";
    Texture* texture = picture();
    TextureDataSWRawAdv* data = static_cast<TextureDataSWRawAdv*>(texture->getData());
    EXPECT_EQ(data->getStorageFormat(), STORAGE_RAW_ADV);
    EXPECT_EQ(data->lock()->pitch, 32);
    EXPECT_EQ(data->getDataSize(), 32 * 32 * 4);
    texture->release(true);
}

TEST_F(RotatedDraw, CornersTurnAboutTheSquaresCentre) {
    Texture* texture = picture();
    TextureDataSWRawAdv* data = static_cast<TextureDataSWRawAdv*>(texture->getData());
    // Angle 0: the corners (-1.5, -1), (1.5, -1), (1.5, 1), (-1.5, 1) around centre 16.
    EXPECT_EQ(data->getCorners()[0].x, (16 << 16) - (3 << 15));
    EXPECT_EQ(data->getCorners()[0].y, 15 << 16);
    texture->setAngle(64);  // a quarter turn: x' = -y, y' = x
    EXPECT_EQ(data->getCorners()[0].x, 17 << 16);
    EXPECT_EQ(data->getCorners()[0].y, (16 << 16) - (3 << 15));
    texture->setAngle(64 + 256);  // the same angle after a full turn
    EXPECT_EQ(data->getCorners()[0].x, 17 << 16);
    texture->setAngle(-192);  // -192 mod 256 = 64
    EXPECT_EQ(data->getCorners()[0].x, 17 << 16);
    texture->release(true);
}

TEST_F(RotatedDraw, DrawsUprightTurnedAndScaled) {
    Texture* texture = picture();
    TextureDataSWRawAdv* data = static_cast<TextureDataSWRawAdv*>(texture->getData());
    const int pitch = DEST;
    const DrawTarget target = fullTarget();
    std::vector<uint32_t> dest(DEST * DEST, 0);
    data->draw(&target, dest.data(), &pitch, 2, 3, 255, 0);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(dest[(3 + y) * DEST + 2 + x], 0xFF000000u | y << 8 | (x + 1));
    EXPECT_EQ(std::count(dest.begin(), dest.end(), 0u), DEST * DEST - 6);

    // Half a turn: the picture upside down in the same place.
    std::fill(dest.begin(), dest.end(), 0u);
    texture->setAngle(128);
    data->draw(&target, dest.data(), &pitch, 2, 3, 255, 0);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(dest[(3 + y) * DEST + 2 + x], 0xFF000000u | (1 - y) << 8 | (3 - x)) << x << "," << y;

    // A quarter turn: 2 wide and 3 tall about the same centre (3.5, 4); source (x, y) lands at (1 - y, x).
    std::fill(dest.begin(), dest.end(), 0u);
    texture->setAngle(64);
    data->draw(&target, dest.data(), &pitch, 2, 3, 255, 0);
    EXPECT_EQ(std::count(dest.begin(), dest.end(), 0u), DEST * DEST - 6);
    EXPECT_EQ(dest[(2 + 0) * DEST + 3 + 1], 0xFF000001u);  // source (0, 0)
    EXPECT_EQ(dest[(2 + 2) * DEST + 3 + 0], 0xFF000103u);  // source (2, 1)

    // Twice the size, upright.
    std::fill(dest.begin(), dest.end(), 0u);
    texture->setAngle(0);
    texture->setSourceSize(6 << 16, 4 << 16);
    EXPECT_EQ(data->getScale(), 2 << 16);
    data->draw(&target, dest.data(), &pitch, 0, 0, 255, 0);
    EXPECT_EQ(std::count(dest.begin(), dest.end(), 0u), DEST * DEST - 24);
    EXPECT_EQ(dest[3 * DEST + 5], 0xFF000103u);
    texture->release(true);
}

TEST(RotatedDrawWithoutTable, StaysUprightWithoutASineTable) {
    mt::ServiceRegistry* previous = mt::g_serviceRegistry;
    mt::g_serviceRegistry = nullptr;
    Texture* texture = new Texture(TEXTURE_FROM_FILE, "", Size{2, 2}, ARGB_8888, nullptr, 0, 1);
    TextureDataSWRawAdv* data = new TextureDataSWRawAdv(texture);
    const FixedPoint before = data->getCorners()[0];
    texture->setAngle(64);
    EXPECT_EQ(data->getCorners()[0].x, before.x);
    texture->release(true);
    mt::g_serviceRegistry = previous;
}
