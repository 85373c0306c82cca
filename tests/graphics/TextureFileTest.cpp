#include "mt/graphics/TextureFile.h"

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cmath>
#include <random>

#include "file/TempDir.h"
#include "graphics/GfxTestSupport.h"
#include "mt/graphics/DrawTarget.h"
#include "mt/graphics/TextureDataFactorySW.h"
#include "mt/graphics/TextureDataSWPackedAlpha.h"
#include "mt/graphics/TextureDataSWRawAdv.h"
#include "mt/graphics/TexturePacker.h"
#include "mt/graphics/TextureService.h"

using namespace mt::graphics;
using namespace gfxtest;

namespace {

uint32_t pixelAt(Texture* texture, int index, int bytesPerPixel) {
    return loadPixel(static_cast<const uint8_t*>(texture->lock()->pixels) + index * bytesPerPixel,
                     bytesPerPixel);
}

// The bytes layoutTextureFile gives for the texture, one part after the other.
std::string laidOut(Texture* texture, int frameCount) {
    TextureFileParts parts;
    if (!layoutTextureFile(texture, frameCount, parts))
        return "(no layout)";
    std::string bytes(parts.head.begin(), parts.head.end());
    for (const TextureFileParts::Span& frame : parts.frames)
        bytes.append(reinterpret_cast<const char*>(frame.bytes), frame.size);
    return bytes;
}

}  // namespace

TEST(TextureFile, HeaderFieldsAndFrameOffsets) {
    std::vector<uint8_t> bytes =
        gfxFile(ARGB_4444, STORAGE_RAW, 5, 4,
                {std::vector<uint8_t>(100, 1), std::vector<uint8_t>(50, 2), std::vector<uint8_t>(70, 3)});
    bytes[20] = 0x34;  // the size after conversion to RGB 565
    bytes[27] = 0x80;  // the packed size at scale 187, negative as int32
    const GfxHeader header = parseTextureHeader(bytes.data());
    EXPECT_EQ(header.format, ARGB_4444);
    EXPECT_EQ(header.width, 5);
    EXPECT_EQ(header.height, 4);
    EXPECT_EQ(header.frameCount, 3);
    EXPECT_EQ(header.convertedSize, 0x34);
    EXPECT_EQ(header.scaledPackedSize, INT32_MIN);
    uint8_t again[GFX_HEADER_SIZE];
    formatTextureHeader(header, again);
    EXPECT_EQ(std::vector<uint8_t>(again, again + GFX_HEADER_SIZE),
              std::vector<uint8_t>(bytes.begin(), bytes.begin() + GFX_HEADER_SIZE));

    // Sizes 100, 50 and 70 give frames at 0, 100 and 150 of 220 data bytes, each frame's bytes in place.
    Texture* texture = readBytes(bytes, ARGB_4444);
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(frameTable(texture), (std::vector<int32_t>{0, 100, 150}));
    EXPECT_EQ(sw(texture)->getDataSize(), 220);
    EXPECT_EQ(texture->getFrameCount(), 3);
    EXPECT_EQ(level0(texture)[99], 1);
    EXPECT_EQ(level0(texture)[100], 2);
    EXPECT_EQ(level0(texture)[219], 3);
    EXPECT_EQ(texture->getKind(), TEXTURE_FROM_FILE);
    texture->release(true);

    EXPECT_STREQ(getStorageFormatName(STORAGE_PACKED_ALPHA), "PACKED ALPHA");
    EXPECT_STREQ(getStorageFormatName(3), "Unknown texture format");
}

TEST(TextureFile, RawPixelsAreConvertedWhileReading) {
    // Two frames of 2 x 1 ARGB 8888 pixels read as RGB 565: half the bytes, every offset halved.
    const auto file = gfxFile(ARGB_8888, STORAGE_RAW, 2, 1,
                              {words32({0xFFFF0000, 0xFF00FF00}), words32({0x80123456, 0x00000000})});
    Texture* texture = readBytes(file, RGB_565);
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(texture->getFormat(), RGB_565);
    EXPECT_EQ(sw(texture)->getDataSize(), 8);
    EXPECT_EQ(frameTable(texture), (std::vector<int32_t>{0, 4}));
    EXPECT_EQ(level0(texture),
              words16({0xF800, 0x07E0, (0x12 >> 3) << 11 | (0x34 >> 2) << 5 | 0x56 >> 3, 0}));
    EXPECT_EQ(texture->lock()->pitch, 2);
    texture->release(true);

    // RGB 565 read as ARGB 8888 is opaque except for the pixel 0; widened fields repeat their bits.
    texture = readBytes(gfxFile(RGB_565, STORAGE_RAW, 3, 1, {words16({0xF800, 0, 0x8410})}), ARGB_8888);
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(level0(texture), words32({0xFFFF0000, 0, 0xFF848284}));
    texture->release(true);

    // ARGB 1555 read as ARGB 8888: the one alpha bit becomes 0 or 255.
    texture = readBytes(gfxFile(ARGB_1555, STORAGE_RAW, 2, 1, {words16({0xFFFF, 0x7C1F})}), ARGB_8888);
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(level0(texture), words32({0xFFFFFFFF, 0x00FF00FF}));
    texture->release(true);

    // Colour-indexed pixels move only their alpha and keep their 12-bit index.
    texture = readBytes(gfxFile(ARGB_4444, STORAGE_RAW, 1, 1, {words16({0x8ABC})}, 1), ARGB_8888);
    ASSERT_NE(texture, nullptr);
    EXPECT_TRUE(sw(texture)->isColorIndexed());
    EXPECT_EQ(pixelAt(texture, 0, 4), 0x88000ABCu);
    texture->release(true);

    // Three-byte pixels are read as stored but not converted.
    EXPECT_EQ(readBytes(gfxFile(RGB_888, STORAGE_RAW, 1, 1, {{1, 2, 3}}), RGB_565), nullptr);
    texture = readBytes(gfxFile(RGB_888, STORAGE_RAW, 1, 1, {{1, 2, 3}}), RGB_888);
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(level0(texture), (std::vector<uint8_t>{1, 2, 3}));
    texture->release(true);
}

// Every pixel of every 16-bit layout, converted to every other layout with colour fields and back from the
// 32-bit ones: a narrower field keeps its top bits; a wider one keeps the value's bits on top and stays
// within one step of the exact v x (2^m - 1) / (2^n - 1), so that 0 and the maximum map to 0 and the maximum.
TEST(TextureFile, LoadConversionsWidenByRepeatingBitsAndNarrowByTruncating) {
    const int32_t sixteen[] = {RGB_565, ARGB_4444, ARGB_1555, BGR_565, ABGR_4444, ABGR_1555};
    const int32_t targets[] = {ARGB_8888, ABGR_8888, RGB_565,   ARGB_4444,
                               ARGB_1555, BGR_565,   ABGR_4444, ABGR_1555};
    struct Field {
        uint32_t mask;
        int shift;
    };
    auto fields = [](const PixelFormatInfo& f) {
        return std::array<Field, 4>{Field{f.alphaMask, f.alphaShift}, Field{f.redMask, f.redShift},
                                    Field{f.greenMask, f.greenShift}, Field{f.blueMask, f.blueShift}};
    };
    auto check = [&](int32_t fromFormat, int32_t toFormat, const PixelConversion& conversion,
                     uint32_t pixel) {
        const PixelFormatInfo from = makePixelFormatInfo(fromFormat), to = makePixelFormatInfo(toFormat);
        const uint32_t out = conversion(pixel);
        const auto inFields = fields(from), outFields = fields(to);
        for (int c = 0; c < 4; ++c) {
            if (!outFields[c].mask)
                continue;
            const int m = std::popcount(outFields[c].mask);
            const uint32_t w = (out & outFields[c].mask) >> outFields[c].shift;
            if (!inFields[c].mask) {  // no alpha field: opaque unless the pixel is 0
                ASSERT_EQ(w, pixel ? (1u << m) - 1 : 0u) << fromFormat << " -> " << toFormat;
                continue;
            }
            const int n = std::popcount(inFields[c].mask);
            const uint32_t v = (pixel & inFields[c].mask) >> inFields[c].shift;
            if (m <= n) {
                ASSERT_EQ(w, v >> (n - m)) << fromFormat << " -> " << toFormat << " pixel " << pixel;
                continue;
            }
            const double exact = v * double((1u << m) - 1) / double((1u << n) - 1);
            ASSERT_EQ(w >> (m - n), v) << fromFormat << " -> " << toFormat << " pixel " << pixel;
            ASSERT_LE(std::abs(double(w) - exact), 1.0)
                << fromFormat << " -> " << toFormat << " pixel " << pixel;
        }
    };
    for (int32_t from : sixteen) {
        for (int32_t to : targets) {
            const PixelConversion conversion(makePixelFormatInfo(from), makePixelFormatInfo(to), false);
            for (uint32_t pixel = 0; pixel < 65536; ++pixel)
                check(from, to, conversion, pixel);
        }
    }
    std::mt19937 random(5);
    for (int32_t from : {ARGB_8888, ABGR_8888}) {
        for (int32_t to : sixteen) {
            const PixelConversion conversion(makePixelFormatInfo(from), makePixelFormatInfo(to), false);
            for (int i = 0; i < 20000; ++i)
                check(from, to, conversion, static_cast<uint32_t>(random()));
        }
    }
    EXPECT_EQ(PixelConversion::resizeField(1, 1, 8), 255u);
    EXPECT_EQ(PixelConversion::resizeField(0x15, 5, 8), 0xADu);  // 10101 -> 10101101
}

TEST(TextureFile, PackedPixelsAreConvertedWhileReading) {
    // ARGB 4444 packed plain read as RGB 565: the fields of 0xF8A4 widen by repeating their bits, 8 (1000)
    // to 10001, 10 (1010) to 101010 and 4 (0100) to 01000, which gives 0x8D48.
    auto plain = cat({words32({0, 4}), words16({0xF8A4, 0x1234})});
    Texture* texture = readBytes(gfxFile(ARGB_4444, STORAGE_PACKED_PLAIN, 2, 1, {plain}), RGB_565);
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(level0(texture), cat({words32({0, 4}), words16({0x8D48, 0x2188})}));
    texture->release(true);

    // Packed alpha: the opaque run converts, the partly transparent run keeps its ARGB 4444 layout.
    auto alpha = cat({words32({2, 2}), words16({0x7123}), words32({2}), words16({0xF8A4})});
    texture = readBytes(gfxFile(ARGB_4444, STORAGE_PACKED_ALPHA, 3, 1, {alpha}), RGB_565);
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(level0(texture), cat({words32({2, 2}), words16({0x7123}), words32({2}), words16({0x8D48})}));
    texture->release(true);
    // With the colour-index flag the pixels are copied as they are.
    texture = readBytes(gfxFile(ARGB_4444, STORAGE_PACKED_ALPHA, 3, 1, {alpha}, 1), RGB_565);
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(level0(texture), alpha);
    texture->release(true);

    // ARGB 8888 to ARGB 4444: counts halve, and each frame offset moves to its frame's new start.
    auto frame0 = cat({words32({4, 4}), words32({0xFF8040C0})});
    auto frame1 = cat({words32({0, 8}), words32({0x11223344, 0x55667788})});
    texture = readBytes(gfxFile(ARGB_8888, STORAGE_PACKED_PLAIN, 2, 1, {frame0, frame1}), ARGB_4444);
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(level0(texture),
              cat({words32({2, 2}), words16({0xF84C}), words32({0, 4}), words16({0x1234, 0x5678})}));
    EXPECT_EQ(frameTable(texture), (std::vector<int32_t>{0, 10}));
    texture->release(true);
}

TEST(TextureFile, PackedRowsAddUpToTheWidth) {
    // Width 10 in 16-bit pixels: skip 4, n 8, skip 0, n 8 is 2 + 4 + 0 + 4 pixels; the next row starts
    // right after it.
    auto rows = cat({words32({4, 8}), words16({1, 2, 3, 4}), words32({0, 8}), words16({5, 6, 7, 8}),
                     words32({0, 20}), words16({9, 9, 9, 9, 9, 9, 9, 9, 9, 9})});
    Texture* texture = readBytes(gfxFile(ARGB_4444, STORAGE_PACKED_PLAIN, 10, 2, {rows}), ARGB_4444);
    ASSERT_NE(texture, nullptr);
    std::vector<uint16_t> dest(12 * 2, 0xEEEE);
    const int pitch = 12;
    DrawTarget target;
    target.clipRight = 12;
    target.clipBottom = 2;
    texture->getData()->draw(&target, dest.data(), &pitch, 1, 0, 255, 0);
    EXPECT_EQ(std::vector<uint16_t>(dest.begin(), dest.begin() + 12),
              (std::vector<uint16_t>{0xEEEE, 0xEEEE, 0xEEEE, 1, 2, 3, 4, 5, 6, 7, 8, 0xEEEE}));
    EXPECT_EQ(std::vector<uint16_t>(dest.begin() + 12, dest.end()),
              (std::vector<uint16_t>{0xEEEE, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 0xEEEE}));
    texture->release(true);
}

TEST(TextureFile, ScaleHalvesBothSidesAndNeverGoesBelowOne) {
    const auto raw = gfxFile(ARGB_8888, STORAGE_RAW, 4, 2, {words32({1, 2, 3, 4, 5, 6, 7, 8})});
    Texture* texture = readBytes(raw, ARGB_8888, false, 256);
    ASSERT_NE(texture, nullptr);
    TextureData* before = texture->getData();
    EXPECT_EQ(rescale(GfxHeader(), texture, ARGB_8888, 256, 0), texture);
    EXPECT_EQ(texture->getData(), before);
    texture->release(true);

    texture = readBytes(raw, ARGB_8888, false, 128);
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(texture->getSize().width, 2);
    EXPECT_EQ(texture->getSize().height, 1);
    EXPECT_EQ(level0(texture), words32({1, 3}));
    texture->release(true);

    texture = readBytes(gfxFile(ARGB_8888, STORAGE_RAW, 1, 3, {words32({1, 2, 3})}), ARGB_8888, false, 128);
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(texture->getSize().width, 1);
    EXPECT_EQ(texture->getSize().height, 1);
    texture->release(true);

    // Packed data is unpacked, sampled and packed again; every frame, with fresh offsets.
    // One row: opaque, partly transparent, skipped, opaque.
    auto frame = cat({words32({0, 0, 2}), words16({0xF111}), words32({0, 2}), words16({0x8222}), words32({0}),
                      words32({2, 0, 2}), words16({0xF333})});
    texture =
        readBytes(gfxFile(ARGB_4444, STORAGE_PACKED_ALPHA, 4, 1, {frame, frame}), ARGB_4444, false, 512);
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(texture->getSize().width, 8);
    EXPECT_EQ(texture->getSize().height, 2);
    EXPECT_EQ(sw(texture)->getStorageFormat(), STORAGE_PACKED_ALPHA);
    auto* packed = dynamic_cast<TextureDataSWPackedAlpha*>(texture->getData());
    ASSERT_NE(packed, nullptr);
    for (int f = 0; f < 2; ++f) {
        std::vector<uint16_t> pixels(16, 0);
        std::vector<uint8_t> classes(16, 0);
        ASSERT_TRUE(packed->unpackFrame(f, pixels.data(), classes.data(), 8));
        EXPECT_EQ(pixels, (std::vector<uint16_t>{0xF111, 0xF111, 0x8222, 0x8222, 0, 0, 0xF333, 0xF333, 0xF111,
                                                 0xF111, 0x8222, 0x8222, 0, 0, 0xF333, 0xF333}));
        EXPECT_EQ(classes[2], PIXEL_PARTIAL);
        EXPECT_EQ(classes[6], PIXEL_OPAQUE);
    }
    EXPECT_EQ(frameTable(texture)[1], sw(texture)->getDataSize() / 2);
    texture->release(true);
}

TEST(TextureFile, SavedFilesReadBackForEveryStorageCode) {
    TempDir folder;
    FileManagerScope files;
    std::mt19937 random(7);
    struct Case {
        int32_t format;
        int32_t storage;
        int16_t colorIndexed;
    };
    for (const Case c : {Case{ARGB_8888, STORAGE_RAW, 0}, Case{ARGB_4444, STORAGE_RAW, 1},
                         Case{ARGB_8888, STORAGE_PACKED_PLAIN, 0}, Case{RGB_565, STORAGE_PACKED_PLAIN, 1},
                         Case{ARGB_4444, STORAGE_PACKED_ALPHA, 0}, Case{RGB_565, STORAGE_PACKED_ALPHA, 0},
                         Case{ARGB_8888, STORAGE_PACKED_ALPHA, 1}}) {
        SCOPED_TRACE(testing::Message() << "format " << c.format << " storage " << c.storage);
        // Three frames of 5 x 3 with transparent, partly transparent and opaque pixels.
        std::vector<std::vector<uint8_t>> frames;
        for (int f = 0; f < 3; ++f) {
            std::vector<uint32_t> picture(15);
            for (uint32_t& p : picture) {
                const uint32_t alpha[3] = {0, 0x80000000u, 0xFF000000u};
                p = alpha[random() % 3] | (random() & 0xFFFFFF);
                if (p < 0x01000000)
                    p = 0;
            }
            std::vector<uint8_t> bytes;
            if (c.storage == STORAGE_RAW) {
                const int bpp = getBytesPerPixel(c.format);
                bytes.resize(picture.size() * bpp);
                for (size_t i = 0; i < picture.size(); ++i)
                    storePixel(bytes.data() + i * bpp, bpp,
                               convertPixel(picture[i], makePixelFormatInfo(ARGB_8888),
                                            makePixelFormatInfo(c.format), false));
            } else {
                PixelRect rect{reinterpret_cast<uint8_t*>(picture.data()), nullptr, 5, 3, 5};
                ASSERT_TRUE(packFrame(rect, ARGB_8888, c.format, c.storage, c.colorIndexed != 0, bytes));
            }
            frames.push_back(bytes);
        }
        Texture* original = readBytes(gfxFile(c.format, c.storage, 5, 3, frames, c.colorIndexed), c.format);
        ASSERT_NE(original, nullptr);
        const std::string path = folder.path("saved.gfx");
        const int written = saveTextureFile(original, 0, path.c_str());
        EXPECT_EQ(written, static_cast<int>(folder.read("saved.gfx").size()));
        EXPECT_EQ(laidOut(original, 0), folder.read("saved.gfx"));
        Texture* again = loadTextureFile(path.c_str(), c.format, false, 256);
        ASSERT_NE(again, nullptr);
        EXPECT_EQ(level0(again), level0(original));
        EXPECT_EQ(frameTable(again), frameTable(original));
        EXPECT_EQ(again->getFrameCount(), 3);
        EXPECT_EQ(sw(again)->getStorageFormat(), c.storage);
        EXPECT_EQ(sw(again)->isColorIndexed(), c.colorIndexed != 0);
        EXPECT_EQ(again->getSize().width, 5);
        again->release(true);

        // Saving fewer frames writes those frames only.
        ASSERT_GT(saveTextureFile(original, 2, path.c_str()), 0);
        EXPECT_EQ(laidOut(original, 2), folder.read("saved.gfx"));
        again = loadTextureFile(path.c_str(), c.format, false, 256);
        ASSERT_NE(again, nullptr);
        EXPECT_EQ(again->getFrameCount(), 2);
        const std::vector<uint8_t> all = level0(original);
        EXPECT_EQ(level0(again), std::vector<uint8_t>(all.begin(), all.begin() + frameTable(original)[2]));
        again->release(true);
        original->release(true);
    }

    // Rotated raw data is written as its picture.
    Texture* rotated =
        readBytes(gfxFile(ARGB_8888, STORAGE_RAW, 3, 1, {words32({0xFF000001, 0xFF000002, 0xFF000003})}),
                  ARGB_8888, true);
    ASSERT_NE(rotated, nullptr);
    ASSERT_GT(saveTextureFile(rotated, 0, folder.path("rotated.gfx").c_str()), 0);
    EXPECT_EQ(laidOut(rotated, 0), folder.read("rotated.gfx"));
    Texture* flat = loadTextureFile(folder.path("rotated.gfx").c_str(), ARGB_8888, false, 256);
    ASSERT_NE(flat, nullptr);
    EXPECT_EQ(level0(flat), words32({0xFF000001, 0xFF000002, 0xFF000003}));
    EXPECT_EQ(sw(flat)->getStorageFormat(), STORAGE_RAW);
    flat->release(true);

    // A folder that does not exist cannot take the file.
    EXPECT_EQ(saveTextureFile(rotated, 0, folder.path("no/such/folder/x.gfx").c_str()), 0);
    rotated->release(true);
}

TEST(TextureFile, DamagedFilesLoadNothing) {
    const auto raw = gfxFile(ARGB_8888, STORAGE_RAW, 2, 1, {words32({1, 2})});
    const auto packed =
        gfxFile(ARGB_8888, STORAGE_PACKED_PLAIN, 2, 1, {cat({words32({0, 8}), words32({1, 2})})});
    auto patched = [](std::vector<uint8_t> bytes, size_t at, uint32_t value, int width = 4) {
        for (int i = 0; i < width; ++i)
            bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
        return bytes;
    };
    std::vector<std::vector<uint8_t>> damaged = {
        std::vector<uint8_t>(raw.begin(), raw.end() - 1),     // truncated frame data
        std::vector<uint8_t>(raw.begin(), raw.begin() + 30),  // truncated header
        patched(raw, 36, 0xFFFFFFF0),                         // a frame larger than the file
        patched(raw, 16, 0, 2),                               // no frames
        patched(raw, 16, 0x8000, 2),                          // a negative frame count
        patched(raw, 16, 0x7FFF, 2),                          // more frames than the size table holds
        patched(raw, 8, 0),                                   // width 0
        patched(raw, 12, 20000),                              // taller than the largest side
        patched(raw, 0, 99),                                  // an unknown pixel format
        patched(raw, 4, 3),                                   // storage codes outside 0-2
        patched(raw, 4, 0xFFFFFFFF),
        patched(packed, 40, 7),   // a count that is not a whole number of pixels
        patched(packed, 44, 64),  // a run past the end of the data
    };
    for (size_t i = 0; i < damaged.size(); ++i) {
        SCOPED_TRACE(i);
        // Read as stored and converted; neither gives a texture.
        EXPECT_EQ(readBytes(damaged[i], ARGB_8888), nullptr);
        EXPECT_EQ(readBytes(damaged[i], ARGB_4444), nullptr);
    }
    // A packed file whose data ends inside a row still loads: drawing stops where the data does.
    Texture* texture = readBytes(
        gfxFile(ARGB_8888, STORAGE_PACKED_PLAIN, 2, 2, {cat({words32({0, 4}), words32({1})})}), ARGB_8888);
    ASSERT_NE(texture, nullptr);
    texture->release(true);
}

TEST(TextureFile, MissingFilesFallBackToTheMissingImage) {
    TempDir folder;
    FileManagerScope files;
    files.get()->setRootDirectory(folder.path().c_str());
    EXPECT_EQ(loadTextureFile("nothing.gfx", ARGB_8888, false, 256), nullptr);
    EXPECT_EQ(readTextureHeader("nothing.gfx").width, 0);
    EXPECT_EQ(readTextureHeader("nothing.gfx").format, 0);

    auto bytes = [](const std::vector<uint8_t>& v) { return std::string(v.begin(), v.end()); };
    folder.write("data/base/missingimage.gfx", bytes(gfxFile(ARGB_8888, STORAGE_RAW, 1, 1, {words32({42})})));
    folder.write("data/test/missingimage.gfx", bytes(gfxFile(ARGB_4444, STORAGE_RAW, 7, 9, {words16({1})})));
    folder.write("real.gfx", bytes(gfxFile(ARGB_8888, STORAGE_RAW, 1, 1, {words32({5})})));
    folder.write("broken.gfx", "GFX?");

    Texture* texture = loadTextureFile("nothing.gfx", ARGB_8888, false, 256);
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(level0(texture), words32({42}));
    texture->release(true);
    texture = loadTextureFile("broken.gfx", ARGB_8888, false, 256);
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(level0(texture), words32({42}));
    texture->release(true);
    texture = loadTextureFile("real.gfx", ARGB_8888, false, 256);
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(level0(texture), words32({5}));
    texture->release(true);

    EXPECT_EQ(readTextureHeader("nothing.gfx").width, 7);
    EXPECT_EQ(readTextureHeader("nothing.gfx").format, ARGB_4444);
    EXPECT_EQ(readTextureHeader("real.gfx").format, ARGB_8888);
}

TEST(TextureFile, ColorTablesInEachEntryFormat) {
    TempDir folder;
    FileManagerScope files;
    auto write = [&](const std::string& name, const std::vector<uint8_t>& v) {
        folder.write(name, std::string(v.begin(), v.end()));
        return folder.path(name);
    };
    const std::string path = write("colours.tab", words32({2, 2, 7, 0xFF102030, 0x80F0E0D0}));
    std::unique_ptr<ColorTable> table(loadColorTable(path.c_str(), ARGB_8888));
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->count, 2);
    EXPECT_EQ(table->format, ARGB_8888);
    EXPECT_EQ(table->value, 7);
    EXPECT_EQ(static_cast<uint32_t*>(table->entries)[1], 0x80F0E0D0u);

    table.reset(loadColorTable(path.c_str(), RGB_565));
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->format, RGB_565);
    EXPECT_EQ(static_cast<uint16_t*>(table->entries)[0], (0x10 >> 3) << 11 | (0x20 >> 2) << 5 | (0x30 >> 3));
    table.reset(loadColorTable(path.c_str(), ARGB_4444));
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(static_cast<uint16_t*>(table->entries)[1], 0xFFEDu);

    EXPECT_EQ(loadColorTable(path.c_str(), PAL_8), nullptr);
    EXPECT_EQ(loadColorTable(folder.path("none.tab").c_str(), ARGB_8888), nullptr);
    EXPECT_EQ(loadColorTable(write("short.tab", words32({3, 2, 0, 1, 2})).c_str(), ARGB_8888), nullptr);
    EXPECT_EQ(loadColorTable(write("huge.tab", words32({0xFFFFFFFF, 2, 0})).c_str(), ARGB_8888), nullptr);
}

TEST(TextureFile, RotatedDataFillsTheMiddleOfItsSquare) {
    const auto file =
        gfxFile(ARGB_8888, STORAGE_RAW, 3, 2,
                {words32({0xFF000001, 0x00FFFFFF, 0xFF000003, 0x80000004, 0xFF000005, 0xFF000006})});
    Texture* texture = readBytes(file, ARGB_8888, true);
    ASSERT_NE(texture, nullptr);
    auto* square = dynamic_cast<TextureDataSWRawAdv*>(texture->getData());
    ASSERT_NE(square, nullptr);
    EXPECT_EQ(square->getStorageFormat(), STORAGE_RAW_ADV);
    const int side = square->getSquareSide();
    ASSERT_EQ(side, 32);
    const int first = ((32 - 2) / 2) * 32 + (32 - 3) / 2;
    EXPECT_EQ(pixelAt(texture, first, 4), 0xFF000001u);
    EXPECT_EQ(pixelAt(texture, first + 1, 4), 0u);  // alpha 0: cleared
    EXPECT_EQ(pixelAt(texture, first + 32, 4), 0x80000004u);
    EXPECT_EQ(pixelAt(texture, first + 34, 4), 0xFF000006u);
    EXPECT_EQ(pixelAt(texture, first - 1, 4), 0u);
    texture->release(true);

    // The square holds frame 0 alone; the file's offsets of further frames point at nothing in it.
    const std::vector<uint8_t> frame = words32({0xFF000001, 0xFF000002, 0xFF000003, 0xFF000004});
    texture = readBytes(gfxFile(ARGB_8888, STORAGE_RAW, 2, 2, {frame, frame, frame}), ARGB_8888, true);
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(frameTable(texture), (std::vector<int32_t>{0, -1, -1}));
    EXPECT_EQ(texture->getFrameCount(), 3);
    texture->release(true);

    // RGB 565 has no alpha to clear by; ARGB 4444 converted into the square is cleared by its own alpha.
    texture = readBytes(gfxFile(RGB_565, STORAGE_RAW, 1, 1, {words16({0x1234})}), RGB_565, true);
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(pixelAt(texture, 15 * 32 + 15, 2), 0x1234u);
    texture->release(true);
    texture = readBytes(gfxFile(ARGB_8888, STORAGE_RAW, 2, 1, {words32({0x0FFFFFFF, 0xFF00FF00})}), ARGB_4444,
                        true);
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(pixelAt(texture, 15 * 32 + 15, 2), 0u);
    EXPECT_EQ(pixelAt(texture, 15 * 32 + 16, 2), 0xF0F0u);
    texture->release(true);
    // Pixels of less than a byte have no place in a square: they load as plain raw data.
    texture = readBytes(gfxFile(PAL_4, STORAGE_RAW, 4, 2, {{0x12, 0x34, 0x56, 0x78}}), PAL_4, true);
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(sw(texture)->getStorageFormat(), STORAGE_RAW);
    EXPECT_EQ(level0(texture), (std::vector<uint8_t>{0x12, 0x34, 0x56, 0x78}));
    texture->release(true);
    // The square needs frame 0's pixels in full.
    EXPECT_EQ(readBytes(gfxFile(ARGB_8888, STORAGE_RAW, 3, 2, {words32({1, 2})}), ARGB_8888, true), nullptr);
}

namespace {

class PreferredFormat : public TextureService {
  public:
    int32_t getPreferredFormat() override { return RGB_565; }
};

class Consumer : public TextureConsumer {
  public:
    void textureLoaded(Texture* texture) override { loaded.push_back(texture); }
    std::vector<Texture*> loaded;
};

}  // namespace

TEST(TextureDataFactory, LoadsTexturesByKind) {
    TempDir folder;
    FileManagerScope files;
    const auto file = gfxFile(ARGB_8888, STORAGE_RAW, 4, 2, {words32({0xFFFF0000, 2, 3, 4, 5, 6, 7, 8})});
    folder.write("sprite.gfx", std::string(file.begin(), file.end()));
    const std::string path = folder.path("sprite.gfx");
    Consumer consumer;
    std::unique_ptr<TextureDataFactorySW> factory(TextureDataFactorySW::create(&consumer));
    ASSERT_NE(factory, nullptr);
    EXPECT_EQ(factory->getScale(), 256);

    // Without a texture service the file's own format is preferred.
    std::unique_ptr<TextureInfo> info(factory->readInfo(path.c_str()));
    EXPECT_EQ(info->width, 4);
    EXPECT_EQ(info->height, 2);
    EXPECT_EQ(info->format, ARGB_8888);

    PreferredFormat service;
    files.services().registerService(&service, mt::SERVICE_TEXTURE);
    info.reset(factory->readInfo(path.c_str()));
    EXPECT_EQ(info->format, RGB_565);

    factory->setScale(128);
    Texture* texture =
        new Texture(TEXTURE_FROM_FILE, path.c_str(), Size{4, 2}, info->format, factory.get(), 0, 1);
    texture->load();
    ASSERT_EQ(consumer.loaded, std::vector<Texture*>{texture});
    EXPECT_EQ(texture->getFormat(), RGB_565);
    EXPECT_EQ(texture->getSize().width, 2);
    EXPECT_EQ(level0(texture), words16({0xF800, 0}));
    texture->release(true);

    // A file that does not open leaves the texture empty and the consumer untold.
    texture = new Texture(TEXTURE_FROM_FILE, folder.path("none.gfx").c_str(), Size{1, 1}, RGB_565,
                          factory.get(), 0, 1);
    texture->load();
    EXPECT_EQ(texture->getData(), nullptr);
    EXPECT_EQ(consumer.loaded.size(), 1u);
    texture->release(true);

    // Kinds 1 and 2 get cleared raw pixels; other kinds nothing.
    texture = new Texture(TEXTURE_IN_MEMORY_2, "", Size{3, 3}, ARGB_8888, factory.get(), 0, 1);
    texture->load();
    EXPECT_EQ(level0(texture), std::vector<uint8_t>(36, 0));
    EXPECT_EQ(consumer.loaded.back(), texture);
    texture->release(true);
    texture = new Texture(7, "", Size{3, 3}, ARGB_8888, factory.get(), 0, 1);
    texture->load();
    EXPECT_EQ(texture->getData(), nullptr);
    texture->release(true);
}

namespace {

// The rescaled packed frame as the packer makes it: the whole frame unpacked, sampled nearest-neighbour and
// packed again.
std::vector<uint8_t> samplePackedByPixels(const std::vector<uint8_t>& frame, int32_t format, int32_t storage,
                                          int32_t width, int32_t height, int32_t targetWidth,
                                          int32_t targetHeight) {
    const int32_t bpp = getBytesPerPixel(format);
    std::vector<uint8_t> pixels(static_cast<size_t>(width) * height * bpp),
        classes(static_cast<size_t>(width) * height);
    EXPECT_TRUE(unpackFrame(frame.data(), frame.size(), 0, bpp, storage,
                            PixelRect{pixels.data(), classes.data(), width, height, width}));
    std::vector<uint8_t> sampled(static_cast<size_t>(targetWidth) * targetHeight * bpp);
    std::vector<uint8_t> sampledClasses(static_cast<size_t>(targetWidth) * targetHeight);
    for (int32_t y = 0; y < targetHeight; ++y) {
        const int32_t sy =
            static_cast<int32_t>((y * ((static_cast<int64_t>(height) << 16) / targetHeight)) >> 16);
        for (int32_t x = 0; x < targetWidth; ++x) {
            const int32_t sx =
                static_cast<int32_t>((x * ((static_cast<int64_t>(width) << 16) / targetWidth)) >> 16);
            std::memcpy(&sampled[(static_cast<size_t>(y) * targetWidth + x) * bpp],
                        &pixels[(static_cast<size_t>(sy) * width + sx) * bpp], bpp);
            sampledClasses[static_cast<size_t>(y) * targetWidth + x] =
                classes[static_cast<size_t>(sy) * width + sx];
        }
    }
    std::vector<uint8_t> out;
    EXPECT_TRUE(
        packFrame(PixelRect{sampled.data(), sampledClasses.data(), targetWidth, targetHeight, targetWidth},
                  format, format, storage, false, out));
    return out;
}

}  // namespace

// Rescaling packed frames works run by run; the result is byte for byte the packer's on the sampled
// pixels, and a frame that declares a large picture over little data costs in proportion to its data.
TEST(TextureFile, RescaledPackedFramesMatchThePackerOnSampledPixels) {
    std::mt19937 random(31);
    for (int32_t format : {ARGB_8888, ARGB_4444, RGB_565}) {
        for (int32_t storage : {STORAGE_PACKED_PLAIN, STORAGE_PACKED_ALPHA}) {
            for (int32_t width : {1, 7, 23}) {
                const int32_t height = 9;
                std::vector<uint32_t> argb(static_cast<size_t>(width) * height);
                for (uint32_t& p : argb) {
                    const uint32_t kind = random() % 3;
                    p = kind == 0 ? 0 : (kind == 1 ? 0xFF000000u : 0x80000000u) | (random() & 0xFFFFFF);
                }
                std::vector<uint8_t> frame;
                ASSERT_TRUE(packFrame(
                    PixelRect{reinterpret_cast<uint8_t*>(argb.data()), nullptr, width, height, width},
                    ARGB_8888, format, storage, false, frame));
                for (int scale : {128, 187, 300, 512}) {
                    SCOPED_TRACE(testing::Message() << "format " << format << " storage " << storage
                                                    << " width " << width << " scale " << scale);
                    Texture* texture =
                        readBytes(gfxFile(format, storage, width, height, {frame}), format, false, scale);
                    ASSERT_NE(texture, nullptr);
                    const Size size = texture->getSize();
                    EXPECT_EQ(size.width, std::max(1, width * scale >> 8));
                    EXPECT_EQ(level0(texture), samplePackedByPixels(frame, format, storage, width, height,
                                                                    size.width, size.height));
                    texture->release(true);
                }
            }
        }
    }
    // 16384 x 16384 transparent pixels in 128 KB, halved: one transparent segment per target row.
    std::vector<uint8_t> rows;
    for (int y = 0; y < 16384; ++y) {
        put32(rows, 16384 * 4);
        put32(rows, 0);
    }
    Texture* large =
        readBytes(gfxFile(ARGB_8888, STORAGE_PACKED_PLAIN, 16384, 16384, {rows}), ARGB_8888, false, 128);
    ASSERT_NE(large, nullptr);
    EXPECT_EQ(large->getSize().width, 8192);
    const std::vector<uint8_t> halved = level0(large);
    ASSERT_EQ(halved.size(), 8192u * 8u);
    EXPECT_EQ(std::vector<uint8_t>(halved.begin(), halved.begin() + 8), cat({words32({8192 * 4, 0})}));
    large->release(true);
}
