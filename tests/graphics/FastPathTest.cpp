// Every fast path of the picture path gives the bytes of the plain one: the row conversions on each
// processor path, the converter's row path against its per-pixel walk (odd widths, pitches wider than the
// picture, one pixel), and the ARGB_8888 copy that the PNG loader prepares while decoding.
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "graphics/PngTestSupport.h"
#include "mt/graphics/PNGImageLoader.h"
#include "mt/graphics/RowConversion.h"
#include "mt/graphics/Texture.h"
#include "mt/graphics/TextureConverter.h"
#include "mt/graphics/TextureDataSWRaw.h"
#include "mt/stream/CachedInputStream.h"
#include "mt/stream/MemoryStream.h"

using namespace mt::graphics;

namespace {

std::vector<uint8_t> randomBytes(size_t n, uint32_t seed) {
    std::mt19937 random(seed);
    std::vector<uint8_t> bytes(n);
    for (uint8_t& b : bytes)
        b = static_cast<uint8_t>(random());
    return bytes;
}

std::vector<uint8_t> level0(Texture* texture, size_t bytes) {
    const uint8_t* pixels = static_cast<const uint8_t*>(texture->lock()->pixels);
    return pixels ? std::vector<uint8_t>(pixels, pixels + bytes) : std::vector<uint8_t>();
}

// A w x h texture whose level 0 has the given pitch (in pixels, at least w), filled with random bytes.
Texture* randomPicture(int w, int h, int pitch, int format, uint32_t seed) {
    Texture* texture = new Texture(TEXTURE_IN_MEMORY, "", Size{w, h}, format, nullptr, 0, 1);
    auto* data = new TextureDataSWRaw(texture);
    const int bpp = getBytesPerPixel(format);
    const std::vector<uint8_t> bytes = randomBytes(static_cast<size_t>(pitch) * h * bpp, seed);
    void* block = data->allocateLevel0(static_cast<int>(bytes.size()));
    std::memcpy(block, bytes.data(), bytes.size());
    data->setLevel0(block, pitch);
    return texture;
}

Texture* loadPng(std::vector<uint8_t>& file, bool prepare = true) {
    mt::MemoryStream memory(file.data(), static_cast<int32_t>(file.size()), mt::STREAM_NOT_OWNER);
    mt::CachedInputStream cached(&memory, 4096);
    PNGImageLoader loader;
    loader.setPrepareARGB(prepare);
    return loader.load(&cached);
}

std::vector<uint8_t> rgbaPng(int w, int h, uint32_t seed, bool interlaced = false) {
    pngtest::PngLayout layout;
    layout.width = w;
    layout.height = h;
    layout.colorType = PNG_COLOR_TYPE_RGBA;
    layout.interlaced = interlaced;
    std::vector<std::vector<uint8_t>> rows;
    for (int y = 0; y < h; ++y)
        rows.push_back(randomBytes(static_cast<size_t>(w) * 4, seed + y));
    return pngtest::writePng(layout, rows);
}

}  // namespace

TEST(FastPath, RowConversionsGiveTheSameBytesOnEveryPath) {
    const std::vector<uint8_t> in = randomBytes(4 * 300 + 16, 1);
    for (size_t width : {0, 1, 2, 3, 4, 5, 7, 8, 9, 15, 16, 17, 31, 33, 64, 67, 255, 300}) {
        for (size_t inShift : {0, 1, 3}) {
            for (size_t outShift : {0, 4, 6}) {
                std::vector<uint8_t> expected(width * 4 + 16, 0xEE);
                for (size_t x = 0; x < width; ++x) {
                    const uint8_t* p = &in[inShift + 4 * x];
                    uint8_t* q = &expected[outShift + 4 * x];
                    q[0] = p[2], q[1] = p[1], q[2] = p[0], q[3] = p[3];
                }
                for (RowPath path : {RowPath::PLAIN, RowPath::SSE2, RowPath::SSSE3}) {
                    std::vector<uint8_t> out(width * 4 + 16, 0xEE);
                    convertRowABGRtoARGB(&in[inShift], &out[outShift], width, path);
                    ASSERT_EQ(out, expected) << "width " << width << " path " << static_cast<int>(path)
                                             << " shifts " << inShift << "," << outShift;
                }
            }
        }
    }
}

TEST(FastPath, ConverterRowPathsMatchThePerPixelWalk) {
    TextureConverter walk;
    walk.setRowFastPath(false);
    uint32_t seed = 10;
    for (int format : {ABGR_8888, BGR_888}) {
        for (const auto& [w, h, pitch] : {std::array<int, 3>{1, 1, 1}, std::array<int, 3>{1, 1, 5},
                                          std::array<int, 3>{3, 7, 3}, std::array<int, 3>{37, 5, 41},
                                          std::array<int, 3>{64, 4, 64}, std::array<int, 3>{129, 3, 200}}) {
            Texture* source = randomPicture(w, h, pitch, format, ++seed);
            Texture* expected = walk.convert(source, ARGB_8888, true);
            ASSERT_NE(expected, nullptr);
            for (RowPath path : {RowPath::PLAIN, RowPath::SSE2, RowPath::SSSE3}) {
                for (bool dither : {false, true}) {
                    TextureConverter fast;
                    fast.setRowPath(path);
                    Texture* converted = fast.convert(source, ARGB_8888, dither);
                    ASSERT_NE(converted, nullptr);
                    EXPECT_EQ(converted->lock()->pitch, w) << "the rows of a converted texture are packed";
                    EXPECT_EQ(level0(converted, static_cast<size_t>(w) * h * 4),
                              level0(expected, static_cast<size_t>(w) * h * 4))
                        << format << " " << w << "x" << h << " pitch " << pitch << " path "
                        << static_cast<int>(path);
                    converted->release(true);
                }
            }
            expected->release(true);
            source->release(true);
        }
    }
}

TEST(FastPath, TheLoadersPreparedConversionIsTheConvertersOwn) {
    TextureConverter walk;
    walk.setRowFastPath(false);
    TextureConverter converter;
    for (const auto& [w, h] : {std::array<int, 2>{1, 1}, std::array<int, 2>{3, 2}, std::array<int, 2>{17, 9},
                               std::array<int, 2>{64, 33}, std::array<int, 2>{301, 7}}) {
        for (bool interlaced : {false, true}) {
            SCOPED_TRACE(testing::Message() << w << "x" << h << (interlaced ? " interlaced" : ""));
            std::vector<uint8_t> file = rgbaPng(w, h, static_cast<uint32_t>(w * 7 + h), interlaced);
            const size_t bytes = static_cast<size_t>(w) * h * 4;
            Texture* picture = loadPng(file);
            ASSERT_NE(picture, nullptr);
            Texture* quick = converter.convert(picture, ARGB_8888, true);
            Texture* walked = walk.convert(picture, ARGB_8888, true);
            ASSERT_NE(quick, nullptr);
            ASSERT_NE(walked, nullptr);
            EXPECT_EQ(level0(quick, bytes), level0(walked, bytes));
            EXPECT_EQ(quick->getFrameCount(), 1);
            EXPECT_EQ(quick->getFrame(0).pairs[2].x, w);
            // The prepared copy is handed out once; a second conversion makes its own, equal one.
            Texture* again = converter.convert(picture, ARGB_8888, true);
            EXPECT_NE(again->lock()->pixels, quick->lock()->pixels);
            EXPECT_EQ(level0(again, bytes), level0(walked, bytes));
            again->release(true);
            quick->release(true);
            walked->release(true);
            picture->release(true);
        }
    }

    // Pixels changed after decoding are what the conversion shows: the prepared copy is dropped as soon as
    // anyone takes the pixels.
    std::vector<uint8_t> file = rgbaPng(5, 4, 77);
    Texture* picture = loadPng(file);
    ASSERT_NE(picture, nullptr);
    uint8_t* pixels = static_cast<uint8_t*>(picture->lock()->pixels);
    pixels[0] = 0x11, pixels[1] = 0x22, pixels[2] = 0x33, pixels[3] = 0x44;
    Texture* converted = converter.convert(picture, ARGB_8888, true);
    ASSERT_NE(converted, nullptr);
    EXPECT_EQ(level0(converted, 4), (std::vector<uint8_t>{0x33, 0x22, 0x11, 0x44}));
    converted->release(true);
    picture->release(true);

    // Without preparing, the loader's pictures convert the same.
    Texture* unprepared = loadPng(file, false);
    Texture* prepared = loadPng(file, true);
    Texture* a = converter.convert(unprepared, ARGB_8888, true);
    Texture* b = converter.convert(prepared, ARGB_8888, true);
    EXPECT_EQ(level0(a, 80), level0(b, 80));
    for (Texture* t : {a, b, unprepared, prepared})
        t->release(true);
}
