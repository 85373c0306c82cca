// Every allocation through operator new that the graphics code makes is failed in turn: loaders, the
// converter and the packer must report the failure by their results, never by an exception.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <new>
#include <vector>

#include "graphics/GfxTestSupport.h"
#include "graphics/PngTestSupport.h"
#include "mt/graphics/PNGImageLoader.h"
#include "mt/graphics/Texture.h"
#include "mt/graphics/TextureConverter.h"
#include "mt/graphics/TextureFile.h"
#include "mt/graphics/TexturePacker.h"
#include "mt/stream/CachedInputStream.h"
#include "mt/stream/MemoryStream.h"

namespace {

// While armed, the allocation numbered `failAt` (counted from arming) fails.
long allocationsLeft = -1;
bool failed = false;

void* allocate(size_t size) {
    if (allocationsLeft == 0) {
        allocationsLeft = -1;
        failed = true;
        return nullptr;
    }
    if (allocationsLeft > 0)
        --allocationsLeft;
    return std::malloc(size ? size : 1);
}

// Out of line, so that the compiler does not pair the free with the new of a caller.
[[gnu::noinline]] void release(void* p) {
    std::free(p);
}

}  // namespace

void* operator new(size_t size) {
    if (void* p = allocate(size))
        return p;
    throw std::bad_alloc();
}
void* operator new[](size_t size) {
    return operator new(size);
}
void* operator new(size_t size, const std::nothrow_t&) noexcept {
    return allocate(size);
}
void* operator new[](size_t size, const std::nothrow_t&) noexcept {
    return allocate(size);
}
void operator delete(void* p) noexcept {
    release(p);
}
void operator delete[](void* p) noexcept {
    release(p);
}
void operator delete(void* p, size_t) noexcept {
    release(p);
}
void operator delete[](void* p, size_t) noexcept {
    release(p);
}

using namespace mt::graphics;
using namespace gfxtest;

namespace {

// Runs the operation with its first, second, third ... allocation failing, until one run needs no failure.
// Returns how many allocations the operation makes; every run must end without an exception.
int failEachAllocation(const std::function<void()>& operation) {
    for (int n = 0; n < 10000; ++n) {
        failed = false;
        allocationsLeft = n;
        bool threw = false;
        try {
            operation();
        } catch (...) {
            threw = true;
        }
        allocationsLeft = -1;
        EXPECT_FALSE(threw) << "an exception left the framework when allocation " << n << " failed";
        if (threw || !failed)
            return n;
    }
    return -1;
}

Texture* loadPng(std::vector<uint8_t>& file) {
    mt::MemoryStream memory(file.data(), static_cast<int32_t>(file.size()), mt::STREAM_NOT_OWNER);
    mt::CachedInputStream cached(&memory, 4096);
    PNGImageLoader loader;
    return loader.load(&cached);
}

}  // namespace

TEST(AllocationFailure, PicturesAndConversionsReportItByTheirResults) {
    pngtest::PngLayout layout;
    layout.width = 12;
    layout.height = 5;
    layout.colorType = PNG_COLOR_TYPE_RGBA;
    std::vector<std::vector<uint8_t>> rows(5, std::vector<uint8_t>(12 * 4));
    for (size_t y = 0; y < rows.size(); ++y)
        for (size_t i = 0; i < rows[y].size(); ++i)
            rows[y][i] = static_cast<uint8_t>(i * 29 + y * 7);
    std::vector<uint8_t> file = pngtest::writePng(layout, rows);
    const int made = failEachAllocation([&] {
        Texture* picture = loadPng(file);
        if (!picture)
            return;
        TextureConverter converter;
        for (int format : {ARGB_8888, RGB_565, PAL_8, PAL_4, DXT1})
            for (bool dither : {false, true})
                mt::releaseReference(converter.convert(picture, format, dither), true);
        picture->release(true);
    });
    EXPECT_GT(made, 10);
}

TEST(AllocationFailure, TextureFilesReportItByTheirResults) {
    const std::vector<std::vector<uint8_t>> raw = {
        words32({0xFF102030, 0x80405060, 0, 0xFFFFFFFF, 0x11223344, 0x55667788})};
    std::vector<uint8_t> packedFrame;
    PixelRect rect{const_cast<uint8_t*>(raw[0].data()), nullptr, 3, 2, 3};
    ASSERT_TRUE(packFrame(rect, ARGB_8888, ARGB_8888, STORAGE_PACKED_ALPHA, false, packedFrame));
    const std::vector<std::vector<uint8_t>> files = {
        gfxFile(ARGB_8888, STORAGE_RAW, 3, 2, {raw[0], raw[0]}),
        gfxFile(ARGB_8888, STORAGE_PACKED_ALPHA, 3, 2, {packedFrame, packedFrame}),
    };
    // Reads without copying the bytes, so that only the framework allocates.
    auto read = [](const std::vector<uint8_t>& bytes, int format, bool adv, int scale) {
        mt::MemoryStream in(const_cast<uint8_t*>(bytes.data()), static_cast<int32_t>(bytes.size()),
                            mt::STREAM_NOT_OWNER);
        return readTexture(in, format, adv, scale);
    };
    std::vector<uint8_t> repacked;
    repacked.reserve(4096);
    const int made = failEachAllocation([&] {
        for (const auto& bytes : files) {
            for (int format : {ARGB_8888, RGB_565, ARGB_4444}) {
                for (int scale : {256, 128, 512}) {
                    Texture* texture = read(bytes, format, false, scale);
                    if (texture) {
                        repacked.clear();
                        PixelRect whole{const_cast<uint8_t*>(raw[0].data()), nullptr, 3, 2, 3};
                        packFrame(whole, ARGB_8888, format, STORAGE_PACKED_PLAIN, false, repacked);
                        texture->release(true);
                    }
                }
            }
            mt::releaseReference(read(bytes, ARGB_8888, true, 256), true);
        }
    });
    EXPECT_GT(made, 10);
}
