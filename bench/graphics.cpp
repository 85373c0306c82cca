// The picture path's costs: converting a large ABGR_8888 texture to ARGB_8888 against a plain memcpy of the
// same bytes, and decoding plus converting a 1920 x 1080 RGBA PNG against libpng's decode alone.
#include <benchmark/benchmark.h>
#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "mt/graphics/PNGImageLoader.h"
#include "mt/graphics/Texture.h"
#include "mt/graphics/TextureConverter.h"
#include "mt/graphics/TextureDataSWRaw.h"
#include "mt/stream/CachedInputStream.h"
#include "mt/stream/MemoryStream.h"
#include "tests/graphics/PngTestSupport.h"

using namespace mt::graphics;

namespace {

constexpr int SIDE = 4096;
constexpr size_t BIG_BYTES = static_cast<size_t>(SIDE) * SIDE * 4;

void BM_Memcpy4096(benchmark::State& state) {
    std::vector<uint8_t> from(BIG_BYTES, 0x5A), to(BIG_BYTES, 0);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), BIG_BYTES);
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(BIG_BYTES));
}
BENCHMARK(BM_Memcpy4096)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ConvertABGRToARGB4096(benchmark::State& state) {
    Texture* source = new Texture(TEXTURE_IN_MEMORY, "", Size{SIDE, SIDE}, ABGR_8888, nullptr, 0, 1);
    new TextureDataSWRaw(source);
    uint8_t* pixels = static_cast<uint8_t*>(source->lock()->pixels);
    for (size_t i = 0; i < BIG_BYTES; ++i)
        pixels[i] = static_cast<uint8_t>(i * 7);
    TextureConverter converter;
    for (auto _ : state) {
        Texture* result = converter.convert(source, ARGB_8888, true);
        benchmark::DoNotOptimize(result->lock()->pixels);
        result->release(true);
    }
    source->release(true);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(BIG_BYTES));
}
BENCHMARK(BM_ConvertABGRToARGB4096)->Unit(benchmark::kMillisecond)->UseRealTime();

// A 1920 x 1080 RGBA picture that compresses like a photograph with soft noise.
const std::vector<uint8_t>& hdPng() {
    static const std::vector<uint8_t> file = [] {
        std::mt19937 random(7);
        std::vector<std::vector<uint8_t>> rows(1080, std::vector<uint8_t>(1920 * 4));
        for (int y = 0; y < 1080; ++y)
            for (int x = 0; x < 1920; ++x) {
                uint8_t* p = &rows[y][x * 4];
                const int noise = static_cast<int>(random() % 9) - 4;
                p[0] = static_cast<uint8_t>(std::clamp(x * 255 / 1919 + noise, 0, 255));
                p[1] = static_cast<uint8_t>(std::clamp(y * 255 / 1079 + noise, 0, 255));
                p[2] = static_cast<uint8_t>(std::clamp(((x + y) / 8 % 64) * 4 + noise, 0, 255));
                p[3] = static_cast<uint8_t>(x < 64 ? x * 4 : 255);
            }
        pngtest::PngLayout layout;
        layout.width = 1920;
        layout.height = 1080;
        layout.colorType = PNG_COLOR_TYPE_RGBA;
        return pngtest::writePng(layout, rows);
    }();
    return file;
}

struct MemoryReader {
    const uint8_t* data;
    size_t size;
    size_t position;
};

// libpng alone: decode the file from memory into rows of a ready buffer.
bool decodeWithLibpng(const std::vector<uint8_t>& file, uint8_t* pixels) {
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    MemoryReader reader{file.data(), file.size(), 0};
    std::vector<png_bytep> rows(1080);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    png_set_read_fn(png, &reader, [](png_structp p, png_bytep out, size_t length) {
        MemoryReader* r = static_cast<MemoryReader*>(png_get_io_ptr(p));
        if (length > r->size - r->position)
            png_error(p, "short");
        std::memcpy(out, r->data + r->position, length);
        r->position += length;
    });
    png_read_info(png, info);
    png_read_update_info(png, info);
    for (int y = 0; y < 1080; ++y)
        rows[y] = pixels + static_cast<size_t>(y) * 1920 * 4;
    png_read_image(png, rows.data());
    png_read_end(png, info);
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

void BM_LibpngDecode1080p(benchmark::State& state) {
    const std::vector<uint8_t>& file = hdPng();
    std::vector<uint8_t> pixels(1920 * 1080 * 4);
    for (auto _ : state) {
        if (!decodeWithLibpng(file, pixels.data()))
            state.SkipWithError("decode failed");
        benchmark::DoNotOptimize(pixels.data());
    }
}
BENCHMARK(BM_LibpngDecode1080p)->Unit(benchmark::kMillisecond)->UseRealTime();

// libpng alone into a buffer allocated for each picture, as any decoder that hands pictures out must.
void BM_LibpngDecodeFreshBuffer1080p(benchmark::State& state) {
    const std::vector<uint8_t>& file = hdPng();
    for (auto _ : state) {
        uint8_t* pixels = static_cast<uint8_t*>(std::malloc(1920 * 1080 * 4));
        if (!pixels || !decodeWithLibpng(file, pixels))
            state.SkipWithError("decode failed");
        benchmark::DoNotOptimize(pixels);
        std::free(pixels);
    }
}
BENCHMARK(BM_LibpngDecodeFreshBuffer1080p)->Unit(benchmark::kMillisecond)->UseRealTime();

// The picture path: a 4096-byte cache over the file's bytes, the loader, and the conversion to ARGB_8888.
void BM_LoadAndConvert1080p(benchmark::State& state) {
    std::vector<uint8_t> file = hdPng();
    PNGImageLoader loader;
    TextureConverter converter;
    for (auto _ : state) {
        mt::MemoryStream memory(file.data(), static_cast<int32_t>(file.size()), mt::STREAM_NOT_OWNER);
        mt::CachedInputStream cached(&memory, 4096);
        Texture* picture = loader.load(&cached);
        Texture* argb = picture ? converter.convert(picture, ARGB_8888, true) : nullptr;
        if (!argb)
            state.SkipWithError("load failed");
        benchmark::DoNotOptimize(argb);
        mt::releaseReference(argb, true);
        mt::releaseReference(picture, true);
    }
}
BENCHMARK(BM_LoadAndConvert1080p)->Unit(benchmark::kMillisecond)->UseRealTime();

// The loader alone, for comparison with libpng alone.
void BM_LoadOnly1080p(benchmark::State& state) {
    std::vector<uint8_t> file = hdPng();
    PNGImageLoader loader;
    for (auto _ : state) {
        mt::MemoryStream memory(file.data(), static_cast<int32_t>(file.size()), mt::STREAM_NOT_OWNER);
        mt::CachedInputStream cached(&memory, 4096);
        Texture* picture = loader.load(&cached);
        benchmark::DoNotOptimize(picture);
        mt::releaseReference(picture, true);
    }
}
BENCHMARK(BM_LoadOnly1080p)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
