// Texture files: reading raw and packed sprite sheets (as stored and converted while reading) and drawing
// packed frames against raw frames of the same picture.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "mt/graphics/DrawTarget.h"
#include "mt/graphics/Texture.h"
#include "mt/graphics/TextureDataSWPackedAlpha.h"
#include "mt/graphics/TextureDataSWRaw.h"
#include "mt/graphics/TextureFile.h"
#include "mt/graphics/TexturePacker.h"
#include "mt/stream/MemoryStream.h"

using namespace mt::graphics;

namespace {

constexpr int SIDE = 256;
constexpr int FRAMES = 4;

// A sprite: a disc with a soft edge on a transparent background, ARGB 8888.
std::vector<uint32_t> sprite() {
    std::vector<uint32_t> pixels(SIDE * SIDE * FRAMES);
    std::mt19937 random(1);
    for (int f = 0; f < FRAMES; ++f)
        for (int y = 0; y < SIDE; ++y)
            for (int x = 0; x < SIDE; ++x) {
                const int dx = x - SIDE / 2, dy = y - SIDE / 2;
                const int d = dx * dx + dy * dy;
                const uint32_t alpha = d < 100 * 100 ? 255 : d < 110 * 110 ? 128 : 0;
                pixels[(f * SIDE + y) * SIDE + x] = alpha ? alpha << 24 | (random() & 0xFFFFFF) : 0;
            }
    return pixels;
}

// The bytes of a texture file holding the sprite's frames.
std::vector<uint8_t> spriteFile(int storage, int format) {
    const std::vector<uint32_t> pixels = sprite();
    std::vector<std::vector<uint8_t>> frames;
    for (int f = 0; f < FRAMES; ++f) {
        std::vector<uint8_t> bytes;
        PixelRect rect{reinterpret_cast<uint8_t*>(const_cast<uint32_t*>(pixels.data())) + f * SIDE * SIDE * 4,
                       nullptr, SIDE, SIDE, SIDE};
        if (storage == STORAGE_RAW) {
            const int bpp = getBytesPerPixel(format);
            bytes.resize(SIDE * SIDE * bpp);
            for (int i = 0; i < SIDE * SIDE; ++i)
                storePixel(bytes.data() + i * bpp, bpp,
                           convertPixel(pixels[f * SIDE * SIDE + i], makePixelFormatInfo(ARGB_8888),
                                        makePixelFormatInfo(format), false));
        } else {
            packFrame(rect, ARGB_8888, format, storage, false, bytes);
        }
        frames.push_back(bytes);
    }
    std::vector<uint8_t> file(GFX_HEADER_SIZE);
    GfxHeader header;
    header.format = format;
    header.storage = storage;
    header.width = SIDE;
    header.height = SIDE;
    header.frameCount = FRAMES;
    formatTextureHeader(header, file.data());
    for (const auto& f : frames)
        for (int i = 0; i < 4; ++i)
            file.push_back(static_cast<uint8_t>(f.size() >> (8 * i)));
    for (const auto& f : frames)
        file.insert(file.end(), f.begin(), f.end());
    return file;
}

void load(benchmark::State& state, int storage, int stored, int requested) {
    std::vector<uint8_t> file = spriteFile(storage, stored);
    for (auto _ : state) {
        mt::MemoryStream in(file.data(), static_cast<int32_t>(file.size()), mt::STREAM_NOT_OWNER);
        Texture* texture = readTexture(in, requested, false, 256);
        benchmark::DoNotOptimize(texture);
        texture->release(true);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(file.size()));
}

void BM_LoadRawAsStored(benchmark::State& state) {
    load(state, STORAGE_RAW, ARGB_8888, ARGB_8888);
}
BENCHMARK(BM_LoadRawAsStored)->Unit(benchmark::kMicrosecond);

void BM_LoadRawAsRGB565(benchmark::State& state) {
    load(state, STORAGE_RAW, ARGB_8888, RGB_565);
}
BENCHMARK(BM_LoadRawAsRGB565)->Unit(benchmark::kMicrosecond);

void BM_LoadPackedAlphaAsStored(benchmark::State& state) {
    load(state, STORAGE_PACKED_ALPHA, ARGB_8888, ARGB_8888);
}
BENCHMARK(BM_LoadPackedAlphaAsStored)->Unit(benchmark::kMicrosecond);

void BM_LoadPackedAlpha4444AsRGB565(benchmark::State& state) {
    load(state, STORAGE_PACKED_ALPHA, ARGB_4444, RGB_565);
}
BENCHMARK(BM_LoadPackedAlpha4444AsRGB565)->Unit(benchmark::kMicrosecond);

void BM_LoadPackedAlphaScaled(benchmark::State& state) {
    std::vector<uint8_t> file = spriteFile(STORAGE_PACKED_ALPHA, ARGB_8888);
    for (auto _ : state) {
        mt::MemoryStream in(file.data(), static_cast<int32_t>(file.size()), mt::STREAM_NOT_OWNER);
        Texture* texture = readTexture(in, ARGB_8888, false, 187);
        benchmark::DoNotOptimize(texture);
        texture->release(true);
    }
}
BENCHMARK(BM_LoadPackedAlphaScaled)->Unit(benchmark::kMicrosecond);

// Frame 1 drawn with blend mode 2 into a 640 x 480 destination, packed (alpha storage) or raw.
void draw(benchmark::State& state, int storage) {
    std::vector<uint8_t> file = spriteFile(storage, ARGB_8888);
    mt::MemoryStream in(file.data(), static_cast<int32_t>(file.size()), mt::STREAM_NOT_OWNER);
    Texture* texture = readTexture(in, ARGB_8888, false, 256);
    texture->getData()->setBlendMode(2);
    std::vector<uint32_t> destination(640 * 480, 0xFF204060);
    DrawTarget target;
    target.clipRight = 640;
    target.clipBottom = 480;
    const int pitch = 640;
    for (auto _ : state) {
        texture->getData()->draw(&target, destination.data(), &pitch, 100, 80, 255, 1);
        benchmark::ClobberMemory();
    }
    texture->release(true);
}

void BM_DrawPackedAlphaFrame(benchmark::State& state) {
    draw(state, STORAGE_PACKED_ALPHA);
}
BENCHMARK(BM_DrawPackedAlphaFrame)->Unit(benchmark::kMicrosecond);

void BM_DrawRawFrame(benchmark::State& state) {
    draw(state, STORAGE_RAW);
}
BENCHMARK(BM_DrawRawFrame)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
