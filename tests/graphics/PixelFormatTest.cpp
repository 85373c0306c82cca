#include <gtest/gtest.h>

#include <cstring>

#include "mt/graphics/PixelFormat.h"
#include "mt/graphics/PixelRef.h"
#include "mt/graphics/Texture.h"
#include "mt/graphics/TextureDataSWRaw.h"

using namespace mt::graphics;

namespace {

struct RGBA {
    int r, g, b, a;
};

RGBA read(const PixelRef& p) {
    RGBA c{};
    p.readRGBA(c.r, c.g, c.b, c.a);
    return c;
}

}  // namespace

TEST(PixelFormat, DescriptorsCarryTheChannelLayout) {
    const PixelFormatInfo rgb565 = makePixelFormatInfo(RGB_565);
    EXPECT_EQ(rgb565.redMask, 0xF800u);
    EXPECT_EQ(rgb565.greenShift, 5);
    EXPECT_EQ(rgb565.greenLoss, 2);
    EXPECT_EQ(rgb565.alphaMask, 0u);
    EXPECT_EQ(rgb565.bytesPerPixel, 2);

    const PixelFormatInfo abgr = makePixelFormatInfo(ABGR_8888);
    EXPECT_EQ(abgr.blueShift, 16);
    EXPECT_EQ(abgr.redMask, 0xFFu);
    EXPECT_EQ(abgr.alphaMask, 0xFF000000u);

    EXPECT_EQ(makePixelFormatInfo(PAL_4).bytesPerPixel, 1);
    EXPECT_EQ(makePixelFormatInfo(PAL_4).redMask, 0u);
    EXPECT_EQ(makePixelFormatInfo(20).bytesPerPixel, 16);
    EXPECT_EQ(makePixelFormatInfo(21).bytesPerPixel, 8);
    const PixelFormatInfo unknown = makePixelFormatInfo(99);
    EXPECT_EQ(unknown.format, 99);
    EXPECT_EQ(unknown.bytesPerPixel, 0);

    EXPECT_STREQ(getPixelFormatName(ARGB_8888), "ARGB 8888");
    EXPECT_STREQ(getPixelFormatName(RGB_565), "RGB 565");
    EXPECT_STREQ(getPixelFormatName(ARGB_4444), "ARGB 4444");
    EXPECT_STREQ(getPixelFormatName(ABGR_8888), "Unknown pixel format");
}

TEST(PixelFormat, LevelSizesRoundSubBytePixelsAndBlocksUp) {
    EXPECT_EQ(levelByteSize(ARGB_8888, 3, 5), 60);
    EXPECT_EQ(levelByteSize(BGR_888, 3, 5), 45);
    EXPECT_EQ(levelByteSize(PAL_4, 3, 3), 5);  // 9 nibbles need 5 bytes
    EXPECT_EQ(levelByteSize(PAL_2, 3, 3), 3);
    EXPECT_EQ(levelByteSize(DXT1, 8, 8), 32);
    EXPECT_EQ(levelByteSize(DXT1, 1, 1), 8);  // one whole block
    EXPECT_EQ(levelByteSize(DXT5, 5, 4), 32);
    EXPECT_EQ(levelByteSize(ARGB_8888, -1, 4), -1);
    EXPECT_EQ(levelByteSize(ARGB_8888, 65536, 65536), -1);
}

TEST(PixelRef, SixteenBitExamples) {
    uint8_t bytes[2] = {};
    PixelRef p(bytes, RGB_565);
    p.writeRGBA(255, 128, 0, 255);
    EXPECT_EQ(p.readRaw(), 0xFC00u);
    RGBA c = read(p);
    EXPECT_EQ(c.r, 255);
    EXPECT_EQ(c.g, 129);
    EXPECT_EQ(c.b, 0);
    EXPECT_EQ(c.a, 255);

    PixelRef q(bytes, ARGB_4444);
    q.writeRaw(0xF8A4);
    EXPECT_EQ(bytes[0], 0xA4);
    EXPECT_EQ(bytes[1], 0xF8);
    c = read(q);
    EXPECT_EQ(c.r, 136);
    EXPECT_EQ(c.g, 170);
    EXPECT_EQ(c.b, 68);
    EXPECT_EQ(c.a, 255);

    PixelRef s(bytes, ABGR_1555);
    s.writeRGBA(8, 16, 248, 200);
    EXPECT_EQ(s.readRaw(), (1u << 15) | (31u << 10) | (2u << 5) | 1u);
    c = read(s);
    EXPECT_EQ(c.r, 8);  // 1 * 255 / 31
    EXPECT_EQ(c.b, 255);
    EXPECT_EQ(c.a, 255);
}

TEST(PixelRef, ByteOrderOfThirtyTwoAndTwentyFourBitFormats) {
    uint8_t bytes[8] = {};
    PixelRef argb(bytes, ARGB_8888);
    argb.writeRGBA(1, 2, 3, 4);
    EXPECT_EQ(std::memcmp(bytes, "\x03\x02\x01\x04", 4), 0);
    PixelRef abgr(bytes, ABGR_8888);
    abgr.writeRGBA(1, 2, 3, 4);
    EXPECT_EQ(std::memcmp(bytes, "\x01\x02\x03\x04", 4), 0);

    std::memset(bytes, 0xEE, sizeof bytes);
    PixelRef rgb(bytes, RGB_888);
    rgb.writeRGBA(1, 2, 3, 4);
    EXPECT_EQ(std::memcmp(bytes, "\x03\x02\x01\xEE", 4), 0) << "the byte after the pixel is untouched";
    PixelRef bgr(bytes, BGR_888);
    bgr.at(1).writeRaw(0x00332211);
    EXPECT_EQ(std::memcmp(bytes + 3, "\x11\x22\x33\xEE", 4), 0);
    RGBA c = read(bgr.at(1));
    EXPECT_EQ(c.r, 0x11);
    EXPECT_EQ(c.b, 0x33);
    EXPECT_EQ(c.a, 255);
}

TEST(PixelRef, EveryPlainFormatRoundTripsItsOwnLevels) {
    // A value that each format stores exactly (the expansion of its truncated fields) reads back unchanged.
    const int formats[] = {RGB_888, ARGB_8888, RGB_565,   ARGB_4444, ARGB_1555, ABGR_8888,
                           BGR_888, BGR_565,   ABGR_4444, ABGR_1555, A_8};
    for (int format : formats) {
        uint8_t bytes[4] = {};
        PixelRef p(bytes, format);
        for (int v : {0, 17, 100, 200, 255}) {
            p.writeRGBA(v, 255 - v, v / 2, 255 - v / 3);
            const RGBA first = read(p);
            p.writeRGBA(first.r, first.g, first.b, first.a);
            const RGBA second = read(p);
            EXPECT_EQ(first.r, second.r) << format;
            EXPECT_EQ(first.g, second.g) << format;
            EXPECT_EQ(first.b, second.b) << format;
            EXPECT_EQ(first.a, second.a) << format;
        }
    }
}

TEST(PixelRef, SubByteIndicesAndLayoutlessFormats) {
    uint8_t bytes[2] = {0x00, 0x00};
    PixelRef pal4(bytes, PAL_4);
    pal4.at(0).writeRaw(0x3);
    pal4.at(1).writeRaw(0xA);
    pal4.at(2).writeRaw(0x1F);  // only the low nibble is stored
    EXPECT_EQ(bytes[0], 0xA3) << "even pixel in the low nibble";
    EXPECT_EQ(bytes[1], 0x0F);
    EXPECT_EQ(pal4.at(1).getSubIndex(), 1);
    EXPECT_EQ(pal4.at(0).readRaw(), 0x3u);

    uint8_t quads[1] = {0};
    PixelRef pal2(quads, PAL_2);
    for (int k = 0; k < 4; ++k)
        pal2.at(k).writeRaw(static_cast<uint32_t>(k));
    EXPECT_EQ(quads[0], 0b11100100) << "pixel k in bits 2k and 2k+1";

    uint8_t wide[4] = {1, 2, 3, 4};
    PixelRef odd(wide, 21);
    EXPECT_EQ(odd.at(3).getBytes(), wide) << "formats without a layout address the first byte";
    odd.writeRGBA(9, 9, 9, 9);
    odd.writeRaw(0xFFFFFFFF);
    EXPECT_EQ(wide[0], 1);
    const RGBA c = read(PixelRef(wide, DXT5));
    EXPECT_EQ(c.r + c.g + c.b + c.a, 0);
}

TEST(PixelRef, PalettizedPixelsReadTheirTexturesPalette) {
    Texture* texture = new Texture(TEXTURE_IN_MEMORY, "", Size{4, 1}, PAL_4, nullptr, 0, 1);
    TextureDataSWRaw* data = new TextureDataSWRaw(texture);
    Palette* palette = new Palette(3, ARGB_8888);
    PixelRef entries(palette->getData(), ARGB_8888);
    entries.at(1).writeRGBA(10, 20, 30, 40);
    entries.at(2).writeRGBA(50, 60, 70, 80);
    data->setPalette(palette);

    uint8_t* pixels = static_cast<uint8_t*>(texture->lock()->pixels);
    pixels[0] = 0x21;  // pixel 0 -> entry 1, pixel 1 -> entry 2
    pixels[1] = 0x0F;  // pixel 2 -> entry 15: past the palette
    PixelRef p(pixels, PAL_4, texture);
    RGBA c = read(p.at(0));
    EXPECT_EQ(c.r, 10);
    EXPECT_EQ(c.a, 40);
    c = read(p.at(1));
    EXPECT_EQ(c.g, 60);
    c = read(p.at(2));
    EXPECT_EQ(c.r + c.g + c.b + c.a, 0) << "an index past the palette reads as zero";

    // PAL_5A3: the index in bits 4-0, the alpha level in bits 7-5.
    uint8_t value = (5u << 5) | 2u;
    c = read(PixelRef(&value, PAL_5A3, texture));
    EXPECT_EQ(c.r, 50);
    EXPECT_EQ(c.a, 5 * 255 / 7);

    // Without a texture there is no palette to read.
    c = read(PixelRef(pixels, PAL_8));
    EXPECT_EQ(c.r + c.g + c.b + c.a, 0);
    texture->release(true);
}
