#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <random>
#include <vector>

#include "mt/graphics/PixelFormat.h"
#include "mt/graphics/PixelRef.h"
#include "mt/graphics/Texture.h"
#include "mt/graphics/TextureConverter.h"
#include "mt/graphics/TextureDataSWRaw.h"

using namespace mt::graphics;

namespace {

struct RGBA {
    int r, g, b, a;
    bool operator==(const RGBA& o) const { return r == o.r && g == o.g && b == o.b && a == o.a; }
};

Texture* makePicture(int w, int h, int format, const std::function<RGBA(int, int)>& colour) {
    Texture* texture = new Texture(TEXTURE_IN_MEMORY, "", Size{w, h}, format, nullptr, 0, 1);
    new TextureDataSWRaw(texture);
    PixelRef p(texture->lock()->pixels, format, texture);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const RGBA c = colour(x, y);
            p.at(y * w + x).writeRGBA(c.r, c.g, c.b, c.a);
        }
    return texture;
}

RGBA pixel(Texture* texture, int x, int y) {
    RGBA c{};
    PixelRef(texture->lock()->pixels, texture->getFormat(), texture)
        .at(static_cast<int64_t>(y) * texture->lock()->pitch + x)
        .readRGBA(c.r, c.g, c.b, c.a);
    return c;
}

uint32_t raw(Texture* texture, int i) {
    return PixelRef(texture->lock()->pixels, texture->getFormat(), texture).at(i).readRaw();
}

size_t levelBytes(Texture* texture) {
    return static_cast<size_t>(
        levelByteSize(texture->getFormat(), texture->getSize().width, texture->getSize().height));
}

bool samePixels(Texture* a, Texture* b) {
    return a->getFormat() == b->getFormat() && levelBytes(a) == levelBytes(b) &&
           std::memcmp(a->lock()->pixels, b->lock()->pixels, levelBytes(a)) == 0;
}

}  // namespace

TEST(TextureConverter, SwapsChannelsExactlyAndCopiesFrames) {
    Texture* source = makePicture(3, 2, ABGR_8888, [](int x, int y) {
        return RGBA{x * 80, y * 90, 7, 128 + x};
    });
    source->setFrameCount(2);
    source->getFrame(1).pairs[3].x = 42;
    TextureConverter converter;
    Texture* result = converter.convert(source, ARGB_8888, true);
    ASSERT_NE(result, nullptr);
    EXPECT_EQ(result->getRefCount(), 1);
    EXPECT_EQ(result->getKind(), TEXTURE_IN_MEMORY);
    EXPECT_EQ(result->getFormat(), ARGB_8888);
    EXPECT_EQ(result->getLevelCount(), 1);
    EXPECT_EQ(result->getFrameCount(), 2);
    EXPECT_EQ(result->getFrame(1).pairs[3].x, 42);
    const uint32_t* out = static_cast<const uint32_t*>(result->lock()->pixels);
    EXPECT_EQ(out[0], 0x80000007u);
    EXPECT_EQ(out[5], 0x82A05A07u);  // x 2, y 1: a 130, r 160, g 90, b 7
    EXPECT_EQ(pixel(source, 2, 1), (RGBA{160, 90, 7, 130})) << "the source is unchanged";
    result->release(true);
    source->release(true);

    Texture* rgb = makePicture(2, 1, BGR_888, [](int x, int) { return RGBA{1 + x, 2, 3, 0}; });
    result = converter.convert(rgb, ARGB_8888, true);
    ASSERT_NE(result, nullptr);
    EXPECT_EQ(static_cast<const uint32_t*>(result->lock()->pixels)[1], 0xFF020203u);
    result->release(true);
    rgb->release(true);
}

TEST(TextureConverter, DitheringCarriesTheResidualAcrossRowEnds) {
    // Row 0: black, (5, 5, 5); row 1: (5, 5, 5), black. RGB_565 keeps 5 bits of red.
    const auto colour = [](int x, int y) { return (x + y) == 1 ? RGBA{5, 5, 5, 255} : RGBA{0, 0, 0, 255}; };
    Texture* source = makePicture(2, 2, ARGB_8888, colour);
    TextureConverter converter;
    Texture* dithered = converter.convert(source, RGB_565, true);
    ASSERT_NE(dithered, nullptr);
    EXPECT_EQ(raw(dithered, 0), 0u);
    EXPECT_EQ(raw(dithered, 1), 0x0020u) << "5 >> 3 = 0 red, 5 >> 2 = 1 green";
    // The residual (5, 1, 5) of the last pixel of row 0 goes to the first pixel of row 1: (10, 6, 10).
    EXPECT_EQ(raw(dithered, 2), 0x0821u);
    // That pixel's own residual (2, 2, 2) then lands on the black pixel after it.
    EXPECT_EQ(raw(dithered, 3), 0x0000u);
    Texture* plain = converter.convert(source, RGB_565, false);
    EXPECT_EQ(raw(plain, 2), 0x0020u) << "without dithering nothing is carried";
    plain->release(true);
    dithered->release(true);
    source->release(true);
}

TEST(TextureConverter, RowFastPathMatchesThePerPixelWalk) {
    std::mt19937 random(1234);
    TextureConverter fast;
    TextureConverter slow;
    slow.setRowFastPath(false);
    for (const int format : {ABGR_8888, BGR_888}) {
        for (const Size size : {Size{1, 1}, Size{37, 23}, Size{64, 3}}) {
            Texture* source = makePicture(size.width, size.height, format, [&](int, int) {
                return RGBA{static_cast<int>(random() & 255), static_cast<int>(random() & 255),
                            static_cast<int>(random() & 255), static_cast<int>(random() & 255)};
            });
            for (const bool dither : {true, false}) {
                Texture* a = fast.convert(source, ARGB_8888, dither);
                Texture* b = slow.convert(source, ARGB_8888, dither);
                ASSERT_NE(a, nullptr);
                ASSERT_NE(b, nullptr);
                EXPECT_TRUE(samePixels(a, b)) << format << " " << size.width << "x" << size.height;
                a->release(true);
                b->release(true);
            }
            source->release(true);
        }
    }

    // A large picture (16 MB of ARGB_8888), in blocks of huge pages.
    {
        Texture* big = new Texture(TEXTURE_IN_MEMORY, "", Size{2048, 2048}, ABGR_8888, nullptr, 0, 1);
        new TextureDataSWRaw(big);
        uint32_t* words = static_cast<uint32_t*>(big->lock()->pixels);
        for (int i = 0; i < 2048 * 2048; ++i)
            words[i] = static_cast<uint32_t>(random());
        Texture* a = fast.convert(big, ARGB_8888, true);
        Texture* b = slow.convert(big, ARGB_8888, true);
        ASSERT_NE(a, nullptr);
        ASSERT_NE(b, nullptr);
        EXPECT_TRUE(samePixels(a, b));
        a->release(true);
        b->release(true);
        big->release(true);
    }

    // Rows further apart than the width (a pitch of 5 for 3 pixels) are read at their pitch.
    std::vector<uint8_t> wide(5 * 2 * 4);
    for (size_t i = 0; i < wide.size(); ++i)
        wide[i] = static_cast<uint8_t>(random());
    Texture* source = new Texture(TEXTURE_IN_MEMORY, "", Size{3, 2}, ABGR_8888, nullptr, 0, 1);
    TextureDataSWRaw* data = new TextureDataSWRaw(source);
    data->setLevel0(wide.data(), 5);
    Texture* a = fast.convert(source, ARGB_8888, true);
    Texture* b = slow.convert(source, ARGB_8888, true);
    EXPECT_TRUE(samePixels(a, b));
    EXPECT_EQ(pixel(a, 0, 1), pixel(source, 0, 1));
    a->release(true);
    b->release(true);
    source->release(true);
}

TEST(TextureConverter, SameFormatMakesAnIndependentCopyWithItsOwnPalette) {
    Texture* source = makePicture(3, 3, PAL_8, [](int, int) { return RGBA{}; });
    uint8_t* indices = static_cast<uint8_t*>(source->lock()->pixels);
    for (int i = 0; i < 9; ++i)
        indices[i] = static_cast<uint8_t>(i % 3);
    Palette* palette = new Palette(3, RGB_565);
    PixelRef(palette->getData(), RGB_565).at(2).writeRaw(0xF800);
    source->getData()->setPalette(palette);
    TextureConverter converter;
    Texture* copy = converter.convert(source, PAL_8, false);
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(copy->lock()->pixels, source->lock()->pixels);
    EXPECT_TRUE(samePixels(copy, source));
    Palette* copied = copy->getData()->getPalette();
    ASSERT_NE(copied, nullptr);
    EXPECT_NE(copied, palette);
    EXPECT_NE(copied->getData(), palette->getData());
    EXPECT_EQ(copied->getCount(), 3);
    EXPECT_EQ(copied->getEntryFormat(), RGB_565);
    EXPECT_EQ(std::memcmp(copied->getData(), palette->getData(), 6), 0);
    EXPECT_EQ(pixel(copy, 2, 0).r, 255);
    indices[2] = 0;
    EXPECT_EQ(pixel(copy, 2, 0).r, 255) << "the copy has its own pixels";
    copy->release(true);
    source->release(true);

    // A sub-byte format with an odd pixel count: the last nibble is copied, nothing is overrun.
    Texture* nibbles = makePicture(3, 1, PAL_4, [](int, int) { return RGBA{}; });
    static_cast<uint8_t*>(nibbles->lock()->pixels)[1] = 0x0C;
    copy = converter.convert(nibbles, PAL_4, false);
    EXPECT_EQ(raw(copy, 2), 0xCu);
    copy->release(true);
    nibbles->release(true);
}

TEST(TextureConverter, UnsupportedTargetsAndUnreadableSourcesGiveNull) {
    Texture* source = makePicture(2, 2, ARGB_8888, [](int, int) { return RGBA{1, 2, 3, 4}; });
    TextureConverter converter;
    for (const int format : {0, 18, 19, 25, 27, -1})
        EXPECT_EQ(converter.convert(source, format, true), nullptr) << format;
    EXPECT_EQ(converter.convert(nullptr, ARGB_8888, true), nullptr);
    Texture* empty = new Texture(TEXTURE_IN_MEMORY, "", Size{2, 2}, ARGB_8888, nullptr, 0, 1);
    EXPECT_EQ(converter.convert(empty, RGB_565, true), nullptr) << "no data";
    TextureDataSWRaw* data = new TextureDataSWRaw(empty);
    data->allocateLevel0(8);  // two pixels for a 2 x 2 picture
    EXPECT_EQ(converter.convert(empty, RGB_565, true), nullptr) << "too few bytes for the size";
    empty->release(true);
    source->release(true);
}

TEST(TextureConverter, PalettizingFewColoursReproducesThePicture) {
    const RGBA colours[] = {{255, 0, 0, 255}, {0, 255, 0, 255}, {0, 0, 255, 255}, {255, 255, 255, 255}};
    const auto picture = [&](int x, int y) { return colours[(x * 3 + y) % 4]; };
    Texture* source = makePicture(7, 5, ARGB_8888, picture);
    TextureConverter converter;
    for (const int format : {PAL_8, PAL_4}) {
        Texture* indexed = converter.convert(source, format, false);
        ASSERT_NE(indexed, nullptr);
        EXPECT_TRUE(static_cast<TextureDataSW*>(indexed->getData())->isColorIndexed());
        Palette* palette = indexed->getData()->getPalette();
        ASSERT_NE(palette, nullptr);
        EXPECT_EQ(palette->getCount(), format == PAL_8 ? 256 : 16);
        EXPECT_EQ(palette->getEntryFormat(), ABGR_1555);
        // Entry 0 is the colour 0, then the colours in the order first seen: red, white, blue, green.
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(raw(indexed, i), static_cast<uint32_t>(i + 1));
        EXPECT_EQ(raw(indexed, 4), 1u);
        EXPECT_EQ(PixelRef(palette->getData(), ABGR_1555).readRaw(), 0u);
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 7; ++x)
                EXPECT_EQ(pixel(indexed, x, y), picture(x, y)) << x << "," << y;
        Texture* back = converter.convert(indexed, ARGB_8888, false);
        EXPECT_EQ(pixel(back, 6, 4), picture(6, 4));
        back->release(true);
        indexed->release(true);
    }
    source->release(true);

    // PAL_5A3 keeps each pixel's alpha level in bits 7-5 beside a 5-bit index.
    Texture* translucent = makePicture(2, 1, ARGB_8888, [](int x, int) {
        return RGBA{255, 0, 0, x ? 200 : 40};
    });
    converter.setPaletteFormat(ARGB_8888);
    Texture* levels = converter.convert(translucent, PAL_5A3, false);
    ASSERT_NE(levels, nullptr);
    EXPECT_EQ(raw(levels, 0), 32u + 1u);
    EXPECT_EQ(raw(levels, 1), 192u + 1u);
    EXPECT_EQ(pixel(levels, 1, 0), (RGBA{255, 0, 0, 6 * 255 / 7}));
    levels->release(true);
    translucent->release(true);
}

TEST(TextureConverter, NeuralPathApproximatesAndKeepsTransparencyInEntryZero) {
    // A smooth picture with more colours than entries, its right half transparent.
    const auto picture = [](int x, int y) { return RGBA{x * 4, y * 4, 128, x < 32 ? 255 : 0}; };
    Texture* source = makePicture(64, 64, ARGB_8888, picture);
    TextureConverter converter;
    Texture* indexed = converter.convert(source, PAL_8, true);
    ASSERT_NE(indexed, nullptr);
    EXPECT_EQ(PixelRef(indexed->getData()->getPalette()->getData(), ABGR_1555).readRaw(), 0u);
    int transparentSeen = 0;
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x) {
            const uint32_t index = raw(indexed, y * 64 + x);
            if (x < 32)
                EXPECT_NE(index, 0u) << "opaque pixels never take the transparent entry";
            else if (index == 0)
                ++transparentSeen;
        }
    }
    EXPECT_EQ(transparentSeen, 32 * 64);

    // The opaque half comes back close to the picture (ABGR_1555 entries hold 5 bits per channel; the
    // dithering trades a little per-pixel error for smooth averages, but never runs away).
    double error = 0;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 32; ++x) {
            const RGBA got = pixel(indexed, x, y);
            const RGBA want = picture(x, y);
            error += std::abs(got.r - want.r) + std::abs(got.g - want.g) + std::abs(got.b - want.b);
        }
    EXPECT_LT(error / (32 * 64 * 3), 16.0);
    indexed->release(true);

    // Two-bit indices over more colours than entries still give valid indices for every pixel.
    Texture* quarter = converter.convert(source, PAL_2, false);
    ASSERT_NE(quarter, nullptr);
    for (int i = 0; i < 64 * 64; ++i)
        EXPECT_LT(raw(quarter, i), 4u);
    quarter->release(true);
    source->release(true);
}

TEST(TextureConverter, DXTRoundTripsWithinStatedError) {
    // Smooth gradients: DXT keeps them within 12 per colour channel on average, alpha within 17 (DXT3's
    // 4 bits) or 8 (DXT5's interpolated alpha). Alpha stays at 128 or more, which DXT1 takes as opaque.
    const auto picture = [](int x, int y) { return RGBA{x * 16, y * 16, 255 - x * 8, 128 + (x + y) * 4}; };
    Texture* source = makePicture(16, 16, ARGB_8888, picture);
    TextureConverter converter;
    for (const int format : {DXT1, DXT3, DXT5}) {
        Texture* blocks = converter.convert(source, format, false);
        ASSERT_NE(blocks, nullptr);
        EXPECT_EQ(blocks->getData()->getDataSize(), format == DXT1 ? 128 : 256);
        Texture* back = converter.convert(blocks, ARGB_8888, false);
        ASSERT_NE(back, nullptr);
        double colourError = 0;
        int worstAlpha = 0;
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x) {
                const RGBA got = pixel(back, x, y);
                const RGBA want = picture(x, y);
                colourError += std::abs(got.r - want.r) + std::abs(got.g - want.g) + std::abs(got.b - want.b);
                if (format != DXT1)
                    worstAlpha = std::max(worstAlpha, std::abs(got.a - want.a));
            }
        EXPECT_LT(colourError / (16 * 16 * 3), 12.0) << format;
        EXPECT_LE(worstAlpha, format == DXT3 ? 17 : 8) << format;
        back->release(true);
        blocks->release(true);
    }
    source->release(true);
}

TEST(TextureConverter, DXTBlocksUseTheStandardLayout) {
    // A solid 4 x 4 block: a DXT1 block is colour0, colour1 (RGB_565, little-endian) and 2-bit indices;
    // decoded by hand it gives the colour back.
    Texture* source = makePicture(4, 4, ARGB_8888, [](int, int) { return RGBA{255, 0, 0, 255}; });
    TextureConverter converter;
    Texture* blocks = converter.convert(source, DXT1, false);
    ASSERT_NE(blocks, nullptr);
    const uint8_t* block = static_cast<const uint8_t*>(blocks->lock()->pixels);
    const uint32_t c0 = block[0] | block[1] << 8, c1 = block[2] | block[3] << 8;
    const uint32_t indices =
        block[4] | block[5] << 8 | block[6] << 16 | static_cast<uint32_t>(block[7]) << 24;
    for (int i = 0; i < 16; ++i) {
        const uint32_t index = (indices >> (2 * i)) & 3;
        const uint32_t chosen = index == 0 ? c0 : index == 1 ? c1 : 0xFFFFFFFF;
        ASSERT_NE(chosen, 0xFFFFFFFFu) << "a solid block needs no interpolated colour";
        EXPECT_EQ(chosen, 0xF800u);
    }
    blocks->release(true);

    // A source of another format is encoded from its ARGB_8888 form; a size that is not a multiple of 4
    // gets whole blocks (2 x 1 here) and decodes to the right pixels.
    Texture* abgr = makePicture(5, 3, ABGR_8888, [](int x, int) { return RGBA{0, x < 4 ? 255 : 0, 0, 255}; });
    blocks = converter.convert(abgr, DXT5, true);
    ASSERT_NE(blocks, nullptr);
    EXPECT_EQ(blocks->getData()->getDataSize(), 32);
    Texture* back = converter.convert(blocks, RGB_565, false);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(raw(back, 0), 0x07E0u);
    EXPECT_EQ(raw(back, 4), 0x0000u);
    EXPECT_EQ(raw(back, 14), 0x0000u);
    back->release(true);
    blocks->release(true);
    abgr->release(true);
    source->release(true);
}
